#include "updatecheck.h"

#include "configdata.h"

#include "update/updatefeed.h"

UpdateCheck::UpdateCheck(QObject *parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(35000);
    // A feed that never answers is reported, not waited for.
    connect(&m_limit, &QTimer::timeout, this, [this] {
        drop();
        emit answered(QString(), QString(), QString(), QString(), QString());
    });
}

void UpdateCheck::setTimeLimit(int ms)
{
    if (ms == m_limit.interval())
        return;
    m_limit.setInterval(ms);
    emit timeLimitChanged();
}

void UpdateCheck::check()
{
    drop();
    m_checker = new ConfigData(this);
    connect(m_checker, &ConfigData::sigUpdateDataInfor, this,
            [this](const QString &version, const QString &url, const QString &name, QString notes,
                   const QString &text) {
                drop();
                while (notes.endsWith(QLatin1Char('\n')))
                    notes.chop(1);
                emit answered(version, url, name, notes, text);
            });
    m_limit.start();
    m_checker->getVersionInfor();
}

bool UpdateCheck::isNewer(const QString &candidate, const QString &current) const
{
    const std::optional<int> order = UpdateFeed::compareVersions(candidate, current);
    return order && *order > 0;
}

QString UpdateCheck::phaseFor(const QString &version, const QString &current,
                              const QString &packageUrl) const
{
    if (version.isEmpty())
        return QStringLiteral("checkfailed");
    if (isNewer(version, current) && !packageUrl.isEmpty())
        return QStringLiteral("available");
    return QStringLiteral("latest");
}

void UpdateCheck::drop()
{
    m_limit.stop();
    if (m_checker) {
        // It may be answering right now.
        m_checker->disconnect(this);
        m_checker->deleteLater();
    }
    m_checker = nullptr;
}
