#include "messagefilestore.h"

#include "config/configfile.h"
#include "files/filemessageengine.h"
#include "platform/fileopener.h"
#include "platform/localpath.h"
#include "platform/privatefiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>

#include <utility>

namespace {

LockedValue<std::unique_ptr<MessageFilestore>> &storage()
{
    static LockedValue<std::unique_ptr<MessageFilestore>> store;
    return store;
}

} // namespace

MessageFilestore *MessageFilestore::instance()
{
    return storage().update([](std::unique_ptr<MessageFilestore> &store) {
        if (!store)
            store.reset(new MessageFilestore);
        return store.get();
    });
}

void MessageFilestore::release()
{
    storage().update([](std::unique_ptr<MessageFilestore> &store) { store.reset(); });
}

MessageFilestore::MessageFilestore()
{
    const QString folder = ConfigFile::instance()->settingsFolderPath();
    QDir().mkpath(folder);
    // Where the user keeps files is theirs alone to know.
    PrivateFiles::prepareFile(folder + QStringLiteral("tarnexdata.ini"));
    auto settings = std::make_unique<QSettings>(folder + QStringLiteral("tarnexdata.ini"),
                                                QSettings::IniFormat);
    settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
    m_store.update([&](Store &store) { store.settings = std::move(settings); });
}

MessageFilestore::~MessageFilestore()
{
    m_store.update([](Store &store) { store.settings->sync(); });
}

QString MessageFilestore::storePath() const
{
    return m_store.read([](const Store &store) { return store.settings->fileName(); });
}

QString MessageFilestore::serverKeyOf(const QString &address)
{
    QString key = address;
    key.remove(QStringLiteral("https://"));
    key.remove(QStringLiteral("http://"));
    key.remove(QLatin1Char('.'));
    key.remove(QLatin1Char(':'));
    return key;
}

QString MessageFilestore::keyOf(const QString &messageId)
{
    bool ok = false;
    const qlonglong id = messageId.toLongLong(&ok);
    return QString::number(ok ? id / 1000 : 0);
}

QString MessageFilestore::serverKey() const
{
    return m_store.read([](const Store &store) { return store.serverKey; });
}

bool MessageFilestore::openDataBase()
{
    const QString key =
        serverKeyOf(ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
    m_store.update([&](Store &store) { store.serverKey = key; });
    return true;
}

bool MessageFilestore::creatTable()
{
    return true;
}

bool MessageFilestore::insertNewData(const QString &userId, const QString &messageId,
                                     const QString &filePath)
{
    // Asked before taking the lock, which never waits on another subsystem.
    const QString ownId = FileMessageEngine::current()->userId();
    m_store.update([&](Store &store) {
        store.settings->beginGroup(store.serverKey + ownId + userId);
        store.settings->setValue(keyOf(messageId), filePath);
        store.settings->endGroup();
    });
    return true;
}

QStringList MessageFilestore::getRowData(const QString &userId, const QString &messageId)
{
    const QString ownId = FileMessageEngine::current()->userId();
    const QString path = m_store.update([&](Store &store) {
        store.settings->beginGroup(store.serverKey + ownId + userId);
        const QString stored = store.settings->value(keyOf(messageId), QString()).toString();
        store.settings->endGroup();
        return stored;
    });
    return {path};
}

bool MessageFilestore::jusitFileExits(const QString &filePath)
{
    const QString path = LocalPath::fromUserPath(filePath);
    return !path.isEmpty() && QFileInfo::exists(path);
}

void MessageFilestore::openFile(const QString &filePath)
{
    FileOpener::open(LocalPath::fromUserPath(filePath));
}
