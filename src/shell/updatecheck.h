#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class ConfigData;

// One look at the update feed for the version dialog and the update dialog: `answered` comes
// once per check() with the feed's version (empty when the feed failed or did not answer in
// time) and the rest of its entry. A newer check replaces a running one.
class UpdateCheck : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int timeLimit READ timeLimit WRITE setTimeLimit NOTIFY timeLimitChanged)
public:
    explicit UpdateCheck(QObject *parent = nullptr);

    int timeLimit() const { return m_limit.interval(); }
    void setTimeLimit(int ms);

    Q_INVOKABLE void check();
    // Dotted versions compared part by part as numbers: "5.0.0.10" is older than "5.0.1.0".
    Q_INVOKABLE bool isNewer(const QString &candidate, const QString &current) const;
    // What an answer means for `current`: "checkfailed" without a version, "available" for a
    // newer one with a package address, else "latest".
    Q_INVOKABLE QString phaseFor(const QString &version, const QString &current,
                                 const QString &packageUrl) const;

signals:
    void timeLimitChanged();
    void answered(const QString &version, const QString &packageUrl, const QString &packageName,
                  const QString &notes, const QString &text);

private:
    void drop();

    // A ConfigData answers its first feed request only, so each check has its own.
    QPointer<ConfigData> m_checker;
    QTimer m_limit;
};
