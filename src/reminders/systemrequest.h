#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// The documents' requests on a module's reminder list: one page of it, and marking one
// reminder or a whole module read. Each kind is a channel of its own that takes one request at
// a time; a call while its channel waits for a reply is dropped.
class SystemRequest : public QObject
{
    Q_OBJECT
public:
    // `types` of sigRequestStatus.
    enum Channel { ListChannel = 1, ReadOneChannel = 2, ReadModuleChannel = 3 };

    explicit SystemRequest(QObject *parent = nullptr);

    Q_INVOKABLE void requestSystemInfor(const QString &menus, const QString &flags,
                                        const QString &pages);
    Q_INVOKABLE void setReadSignInformation(const QString &ids);
    Q_INVOKABLE void setReadSignModule(const QString &infors);

    bool isBusy(Channel channel) const;

public slots:
    void onRequestSystemInfor(QNetworkReply *reply);
    void onReadSignInformation(QNetworkReply *reply);
    void onReadSignModule(QNetworkReply *reply);

signals:
    // The page's whole reply body, or the text "errors" when there is no usable page.
    void sigRequestSystemInfor(const QString &contents);
    void sigReadSignModule();
    void sigRetSetStatus();
    // Outcome of each request; on failure `errors` is the text for the user.
    void sigRequestStatus(bool status, int types, const QString &errors);

private:
    struct Lane
    {
        RequestSlot slot;
        bool busy = false;
    };
    Lane &lane(Channel channel);
    void send(Channel channel, const QString &pathAndQuery,
              void (SystemRequest::*onReply)(QNetworkReply *));
    bool judgeReadReply(QNetworkReply *reply, Channel channel);

    Lane m_list;
    Lane m_readOne;
    Lane m_readModule;
};
