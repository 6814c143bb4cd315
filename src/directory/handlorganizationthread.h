#pragma once

#include "records/memberrecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class HandlOrganization;
class QNetworkReply;

// The request for the members of one department. Its reply, parsed by the loader, fills the
// department's children (and asks for the departments below them). It lives until its reply has
// been filed.
class HandlOrganizationThread : public QObject
{
    Q_OBJECT
public:
    explicit HandlOrganizationThread(HandlOrganization *owner);
    ~HandlOrganizationThread() override;

    // Stores the department and the list its members go to, and sends the request.
    void setREquestData(const QString &ids, QList<MemberRecord *> *children);

    QString departmentId() const { return m_ids; }

public slots:
    void onfinished(QNetworkReply *reply);

private:
    friend class HandlOrganization;

    HandlOrganization *m_owner;
    QString m_ids;
    QList<MemberRecord *> *m_children = nullptr;
    QPointer<QNetworkReply> m_reply;
};
