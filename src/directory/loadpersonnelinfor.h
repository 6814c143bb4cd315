#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The documents' view of the user-id to user-name index of LoadPersonnel. The index loads
// behind the window after sign-in: `loaded` tells a view whether an empty answer is final.
class LoadPersonnelinfor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool loaded READ loaded NOTIFY loadedChanged)
public:
    explicit LoadPersonnelinfor(QObject *parent = nullptr);

    bool loaded() const;

    Q_INVOKABLE QStringList getPersonnelInformationKey() const;
    Q_INVOKABLE QString getPersonnelInformationValue(const QString &keys) const;

signals:
    // The index was loaded (again) or forgotten.
    void loadedChanged();
};
