#include "historylink.h"

#include "config/configfile.h"
#include "history/historydatabase.h"
#include "history/localhistory.h"
#include "logging.h"
#include "messaging/sockethandl.h"

#include <QCoreApplication>

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
    connect(m_history.get(), &LocalHistory::cleared, this, [this](bool ok) {
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
    if (path == m_history->path()) {
        m_history->loadRecent(HistoryDatabase::recentLimit);
        return;
    }
    // Another user's (or server's) list is never offered while this one is read.
    m_engine->showKeptConversations({});
    m_engine->setRecordKeeper(nullptr);
    m_history->close();
    m_history->open(path);
    m_engine->setRecordKeeper(m_history);
    m_history->loadRecent(HistoryDatabase::recentLimit);
}

void HistoryLink::signIn(const QString &server, const QString &userId)
{
    if (userId.isEmpty())
        return;
    signIn(HistoryDatabase::pathFor(ConfigFile::instance()->settingsFolderPath(), server, userId));
}

void HistoryLink::clear()
{
    m_history->clear();
}

void HistoryLink::close()
{
    m_history->close();
}
