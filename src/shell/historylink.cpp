#include "historylink.h"

#include "config/configfile.h"
#include "history/historydatabase.h"
#include "history/localhistory.h"
#include "language/storagetext.h"
#include "language/text.h"
#include "logging.h"
#include "messaging/sockethandl.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

HistoryLink *HistoryLink::instance()
{
    static HistoryLink *link = [] {
        auto *created = new HistoryLink(SocketHandl::instance(), QCoreApplication::instance());
        // After the engine's own shutdown (connected first), so nothing it stores is lost.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, created,
                         &HistoryLink::close);
        return created;
    }();
    return link;
}

HistoryLink::HistoryLink(SocketHandl *engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_history(std::make_shared<LocalHistory>())
{
    connect(
        m_history.get(), &LocalHistory::conversationsLoaded, this,
        [this](const QVector<KeptConversation> &list) { m_engine->showKeptConversations(list); });
    connect(m_history.get(), &LocalHistory::recentLoaded, this,
            [this](const RecordKeeper::PrivateTable &p, const RecordKeeper::GroupTable &g) {
                m_engine->showKept(p, g);
                emit shown(p.size() + g.size());
            });
    connect(m_history.get(), &LocalHistory::setAside, this, [this](const QString &movedTo) {
        setNotice(
            &m_setAside,
            tarnex::text(QStringLiteral("history_set_aside"),
                         QStringLiteral("本机聊天记录文件已损坏，已另存为 %1，并新建了记录文件"))
                .arg(QFileInfo(movedTo).fileName()));
    });
    connect(
        m_history.get(), &LocalHistory::writeFailed, this, [this](const QString &, bool diskFull) {
            setNotice(&m_failure, tarnex::writeFailureText(tarnex::LocalStore::History, diskFull));
        });
    connect(m_history.get(), &LocalHistory::writeResumed, this,
            [this]() { setNotice(&m_failure, QString()); });
    connect(m_history.get(), &LocalHistory::gapStarted, this, [this](qint64 sinceMs) {
        setNotice(&m_gap,
                  tarnex::text(QStringLiteral("history_gap"),
                               QStringLiteral("本机聊天记录自 %1 起不完整，完整记录保存在服务器上"))
                      .arg(QDateTime::fromMSecsSinceEpoch(sinceMs).toString(
                          QStringLiteral("yyyy-MM-dd hh:mm"))));
    });
    connect(m_history.get(), &LocalHistory::cleared, this, [this](bool ok) {
        setNotice(&m_gap, QString());
        setNotice(&m_failure, QString());
        setNotice(&m_setAside, QString());
        m_engine->forgetKept();
        emit cleared(ok);
    });
    connect(m_history.get(), &LocalHistory::opened, this, [](bool ok, const QString &error) {
        if (!ok)
            qCWarning(lcMessaging) << "local history not available:" << error;
    });
}

HistoryLink::~HistoryLink()
{
    m_engine->setRecordKeeper(nullptr);
}

void HistoryLink::signIn(const QString &path)
{
    // The same user again (signed out and in): the list is shown from the file once more.
    if (path == m_signedInPath) {
        m_history->loadRecent(HistoryDatabase::recentLimit);
        return;
    }
    // Another user's (or server's) list is never offered while this one is read.
    m_engine->showKeptConversations({});
    m_engine->setRecordKeeper(nullptr);
    m_history->close();
    // What was said of the other file does not hold for this one.
    setNotice(&m_setAside, QString());
    setNotice(&m_failure, QString());
    setNotice(&m_gap, QString());
    m_history->open(path);
    m_signedInPath = path;
    m_engine->setRecordKeeper(m_history);
    m_history->loadRecent(HistoryDatabase::recentLimit);
}

void HistoryLink::signIn(const QString &server, const QString &userId)
{
    if (userId.isEmpty())
        return;
    signIn(HistoryDatabase::pathFor(ConfigFile::instance()->settingsFolderPath(), server, userId));
}

QString HistoryLink::notice() const
{
    QStringList parts;
    for (const QString *part : {&m_setAside, &m_failure, &m_gap}) {
        if (!part->isEmpty())
            parts << *part;
    }
    return parts.join(QLatin1Char('\n'));
}

void HistoryLink::setNotice(QString *part, const QString &text)
{
    if (*part == text)
        return;
    *part = text;
    emit noticeChanged(notice());
}

void HistoryLink::clear()
{
    m_history->clear();
}

void HistoryLink::close()
{
    m_history->close();
}

void HistoryLink::signOut()
{
    m_engine->setRecordKeeper(nullptr);
    m_history->close(true);
    m_signedInPath.clear();
    setNotice(&m_setAside, QString());
    setNotice(&m_failure, QString());
    setNotice(&m_gap, QString());
}
