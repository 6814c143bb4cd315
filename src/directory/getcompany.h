#pragma once

#include "net/requestslot.h"

#include <QObject>
#include <QString>

class QNetworkReply;

// The documents' company record: asks the server for the company and keeps its name.
class GetCompany : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString companyName READ companyName NOTIFY sigCompanyName)
public:
    explicit GetCompany(QObject *parent = nullptr);

    Q_INVOKABLE void getCompanyInfor();
    QString companyName() const { return m_companyName; }

signals:
    // A company reply stored a name.
    void sigCompanyName();

public slots:
    void onGetCompanyInfor(QNetworkReply *reply);
    void onGetOrganization(QNetworkReply *reply);

private:
    RequestSlot m_slot;
    QString m_companyName;
};
