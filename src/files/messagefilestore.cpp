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

namespace {

std::unique_ptr<MessageFilestore> &storage()
{
    static std::unique_ptr<MessageFilestore> store;
    return store;
}

} // namespace

MessageFilestore *MessageFilestore::instance()
{
    std::unique_ptr<MessageFilestore> &store = storage();
    if (!store)
        store.reset(new MessageFilestore);
    return store.get();
}

void MessageFilestore::resetForTests()
{
    storage().reset();
}

MessageFilestore::MessageFilestore()
{
    const QString folder = ConfigFile::instance()->settingsFolderPath();
    QDir().mkpath(folder);
    // Where the user keeps files is theirs alone to know.
    PrivateFiles::prepareFile(folder + QStringLiteral("tarnexdata.ini"));
    m_settings = std::make_unique<QSettings>(folder + QStringLiteral("tarnexdata.ini"),
                                             QSettings::IniFormat);
    m_settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
}

MessageFilestore::~MessageFilestore()
{
    m_settings->sync();
}

QString MessageFilestore::storePath() const
{
    return m_settings->fileName();
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
    QMutexLocker lock(&m_mutex);
    return m_serverKey;
}

bool MessageFilestore::openDataBase()
{
    const QString key =
        serverKeyOf(ConfigFile::instance()->getMainConfig(QStringLiteral("currentServerIp")));
    QMutexLocker lock(&m_mutex);
    m_serverKey = key;
    return true;
}

bool MessageFilestore::creatTable()
{
    return true;
}

QString MessageFilestore::groupOf(const QString &userId) const
{
    return m_serverKey + FileMessageEngine::current()->userId() + userId;
}

bool MessageFilestore::insertNewData(const QString &userId, const QString &messageId,
                                     const QString &filePath)
{
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(groupOf(userId));
    m_settings->setValue(keyOf(messageId), filePath);
    m_settings->endGroup();
    return true;
}

QStringList MessageFilestore::getRowData(const QString &userId, const QString &messageId)
{
    QMutexLocker lock(&m_mutex);
    m_settings->beginGroup(groupOf(userId));
    const QString path = m_settings->value(keyOf(messageId), QString()).toString();
    m_settings->endGroup();
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
