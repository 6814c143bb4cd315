#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The documents' view of the user-id to user-name index of LoadPersonnel.
class LoadPersonnelinfor : public QObject
{
    Q_OBJECT
public:
    explicit LoadPersonnelinfor(QObject *parent = nullptr);

    Q_INVOKABLE QStringList getPersonnelInformationKey() const;
    Q_INVOKABLE QString getPersonnelInformationValue(const QString &keys) const;
};
