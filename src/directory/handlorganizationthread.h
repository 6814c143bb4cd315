#pragma once

#include "records/memberrecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class HandlOrganization;
class QNetworkReply;
class QTimer;

// The request for the members of one department. Its reply fills the department's children
// (and asks for the departments below them) and restarts the loader's quiet timer. It lives
// until its reply has been handled.
class HandlOrganizationThread : public QObject
{
    Q_OBJECT
public:
    explicit HandlOrganizationThread(HandlOrganization *owner);
    ~HandlOrganizationThread() override;

    // Stores the department, the list its members go to, the role index and the quiet timer,
    // and sends the request.
    void setREquestData(const QString &ids, QList<MemberRecord *> *children, QTimer *quietTimer);

    QString departmentId() const { return m_ids; }

public slots:
    void onfinished(QNetworkReply *reply);

private:
    HandlOrganization *m_owner;
    QString m_ids;
    QList<MemberRecord *> *m_children = nullptr;
    QTimer *m_quietTimer = nullptr;
    QPointer<QNetworkReply> m_reply;
};
