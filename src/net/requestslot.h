#pragma once

#include <QObject>
#include <QPointer>

#include <QNetworkAccessManager>

// One network access manager per kind of request. A new request of the kind replaces the
// previous manager, so a reply still pending for the old one is never delivered.
class RequestSlot
{
public:
    RequestSlot() = default;
    ~RequestSlot();
    RequestSlot(const RequestSlot &) = delete;
    RequestSlot &operator=(const RequestSlot &) = delete;

    // Disconnects and deletes the previous manager and returns a fresh one owned by the slot.
    QNetworkAccessManager *renew();
    QNetworkAccessManager *current() const { return m_manager; }
    // Drops the manager: a reply still pending is never delivered.
    void drop();

private:
    QPointer<QNetworkAccessManager> m_manager;
};
