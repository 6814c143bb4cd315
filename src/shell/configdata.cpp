#include "configdata.h"

#include "platform/installationaccess.h"

#include "historylink.h"

#include "config/configfile.h"
#include "config/rememberedpasswords.h"
#include "config/serveraddress.h"
#include "desktop/dockclick.h"
#include "desktop/noticetext.h"
#include "directory/handlorganization.h"
#include "directory/loadpersonnel.h"
#include "files/filemessageengine.h"
#include "files/messagefilestore.h"
#include "items/roundpicture.h"
#include "language/storagetext.h"
#include "language/text.h"
#include "logging.h"
#include "markup/editorbody.h"
#include "messaging/facefilehandl.h"
#include "messaging/sockethandl.h"
#include "net/serverrequest.h"
#include "platform/autostart.h"
#include "platform/localpath.h"
#include "programinfo.h"
#include "reminders/menumodel.h"
#include "reminders/systeminformation.h"
#include "session/parameterinfor.h"
#include "update/versionrequest.h"
#include "json/jsonfield.h"
#include "json/peerjson.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

ConfigFile *store()
{
    return ConfigFile::instance();
}

RememberedPasswords *passwords()
{
    return RememberedPasswords::instance();
}

const QString kCurrentPassword = QStringLiteral("currentPassword");

} // namespace

ConfigData::ConfigData(QObject *parent)
    : QObject(parent), m_versionRequest(new VersionRequest(this))
{
    connect(DockClick::instance(), &DockClick::sigDockClick, this, &ConfigData::sigDockClick);
    connect(HistoryLink::instance(), &HistoryLink::cleared, this,
            &ConfigData::sigChatHistoryCleared);
    connect(HistoryLink::instance(), &HistoryLink::noticeChanged, this,
            &ConfigData::sigHistoryNotice);
    connect(m_versionRequest, &VersionRequest::sigUpdateDataInfor, this,
            &ConfigData::sigUpdateDataInfor);
    connect(passwords(), &RememberedPasswords::keychainUnavailable, this,
            &ConfigData::sigPasswordStoreNotice);
}

QString ConfigData::getCurrentMainFile(const QString &confiles)
{
    return store()->getMainConfig(confiles);
}

void ConfigData::setCurrentMainFile(const QString &name, const QString &confiles)
{
    // The current account's password goes where remembered passwords go.
    if (confiles == kCurrentPassword) {
        const QString account = store()->getMainConfig(QStringLiteral("currentAccount"));
        if (!account.isEmpty()) {
            passwords()->save(account, name, false);
            return;
        }
    }
    store()->setMainConfig(confiles, name);
}

void ConfigData::addServerAddress(const QString &address, const QString &langues)
{
    store()->addServerAddress(address, langues);
    emit sigAddServerAddress();
}

void ConfigData::addServerAddress(const QString &address)
{
    addServerAddress(address, QString());
}

QStringList ConfigData::getServerAddress()
{
    return store()->getServerAddress();
}

QString ConfigData::getServerAddressLangue(const QString &address)
{
    return store()->getServerAddressLangue(address);
}

void ConfigData::removeServerAddress(const QString &address)
{
    store()->removeServerAddress(address);
}

QString ConfigData::plainServerAddress(const QString &address) const
{
    return ServerAddress::plain(address);
}

bool ConfigData::currentServerSet() const
{
    return ServerAddress::isSet(store()->getMainConfig(QStringLiteral("currentServerIp")));
}

QString ConfigData::serverCheckUrl(const QString &address) const
{
    return ServerRequest::baseUrl(address);
}

void ConfigData::saveServer(const QString &address, const QString &langues)
{
    addServerAddress(address, langues);
    setCurrentMainFile(address, QStringLiteral("serverAddress"));
    setCurrentMainFile(address, QStringLiteral("currentServerIp"));
}

QString ConfigData::loginStartView()
{
    const QString last = store()->getMainConfig(QStringLiteral("loginView"));
    if (!currentServerSet() || last == QLatin1String("server"))
        return QStringLiteral("server");
    return last == QLatin1String("qrcode") ? last : QStringLiteral("password");
}

QString ConfigData::avatarUrl(const QString &path)
{
    return ServerAddress::avatarUrl(path,
                                    store()->getMainConfig(QStringLiteral("currentServerIp")));
}

void ConfigData::saveSignIn(const QString &account, const QString &password, bool remember,
                            bool autoLogin)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    setCurrentMainFile(account, QStringLiteral("currentAccount"));
    setCurrentMainFile(flag(remember), QStringLiteral("rememberPassword"));
    setCurrentMainFile(flag(autoLogin), QStringLiteral("autoLogin"));
    setCurrentMainFile(remember ? password : QString(), kCurrentPassword);
}

QStringList ConfigData::getAllAccount()
{
    return store()->getAllAccount();
}

QString ConfigData::getAccountPassword(const QString &accounts)
{
    return store()->getAccountPassword(accounts);
}

void ConfigData::requestAccountPassword(const QString &accounts)
{
    passwords()->load(accounts, this, [this, accounts](const QString &password) {
        emit sigAccountPassword(accounts, password);
    });
}

QString ConfigData::takePasswordStoreNotice()
{
    if (!passwords()->takeFallbackNotice())
        return {};
    return tarnex::text(QStringLiteral("keychain_unavailable"),
                        QStringLiteral("系统密钥环不可用，记住的密码将保存在本机配置文件中"));
}

void ConfigData::setAccountPassword(const QString &accounts, const QString &password)
{
    passwords()->save(accounts, password);
    emit sigAccountChagnge();
}

QString ConfigData::getAccountImage(const QString &accounts)
{
    return store()->getAccountImage(accounts);
}

void ConfigData::setAccountImage(const QString &accounts, const QString &images)
{
    store()->setAccountImage(accounts, images);
}

void ConfigData::removeAccount(const QString &accounts)
{
    passwords()->removeAccount(accounts);
    emit sigAccountChagnge();
}

QString ConfigData::getBrowserPath(const QString &confiles)
{
    return store()->getBrowserPath(confiles);
}

void ConfigData::setBrowserPath(const QString &name, const QString &confiles)
{
    store()->setBrowserPath(name, confiles);
}

QString ConfigData::getDefaultDownloadPath()
{
    return ConfigFile::defaultDownloadPath();
}

bool ConfigData::getExitbtnStatus()
{
    return store()->getExitbtnStatus();
}

void ConfigData::setExitbtnStatus(bool status)
{
    store()->setExitbtnStatus(status);
}

bool ConfigData::getStartCompany()
{
    return Autostart::isEnabled();
}

void ConfigData::setStartCompany(bool status)
{
    Autostart::setEnabled(status);
}

QStringList ConfigData::getCurrentChat()
{
    return store()->getCurrentChat(getUserId());
}

QString ConfigData::getCurrentChatName(const QString &ids)
{
    return store()->getCurrentChatName(getUserId(), ids);
}

QString ConfigData::getCurrentChatTypes(const QString &ids)
{
    return store()->getCurrentChatTypes(getUserId(), ids);
}

void ConfigData::setCurrentChatName(const QString &ids, const QString &names)
{
    store()->setCurrentChatName(getUserId(), ids, names);
}

void ConfigData::setCurrentChatTypes(const QString &ids, const QString &types)
{
    store()->setCurrentChatTypes(getUserId(), ids, types);
}

void ConfigData::removeCurrentChat(const QString &ids)
{
    store()->removeCurrentChat(getUserId(), ids);
}

bool ConfigData::judgeCurrentChatName(const QString &ids)
{
    return store()->judgeCurrentChatName(getUserId(), ids);
}

QStringList ConfigData::getHistoricalRecord()
{
    return store()->getHistoricalRecord();
}

QString ConfigData::getHistoricalGroup(const QString &names)
{
    return store()->getHistoricalGroup(names);
}

void ConfigData::setHistoricalRecord(const QString &name, const QString &types)
{
    store()->setHistoricalRecord(name, types);
}

void ConfigData::setHistoricalRecord(const QString &name)
{
    store()->setHistoricalRecord(name);
}

void ConfigData::removeHistoricalRecord(const QString &name)
{
    store()->removeHistoricalRecord(name);
}

QStringList ConfigData::getGroupInfor()
{
    return FaceFilehandl::instance()->getGroupInfor();
}

QStringList ConfigData::getImageNameList(const QString &groups)
{
    return FaceFilehandl::instance()->getImageNameList(groups);
}

QString ConfigData::getImagePath()
{
    return FaceFilehandl::instance()->getImagePath();
}

bool ConfigData::judgeFileExits(const QString &paths)
{
    const QString path = LocalPath::fromUserPath(paths);
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString ConfigData::getUserId()
{
    return FileMessageEngine::current()->userId();
}

QString ConfigData::getToken()
{
    return ParameterInfor::instance()->token();
}

QString ConfigData::getSystemInfo()
{
    return ParameterInfor::instance()->systemInfo();
}

QString ConfigData::getUserInformation()
{
    return QString();
}

bool ConfigData::pointInRect(int px, int py, int xPos, int yPos, int xwidth, int yHeight)
{
    return px >= xPos && px <= xPos + xwidth && py >= yPos && py <= yPos + yHeight;
}

bool ConfigData::getMousePosition(int xPos, int yPos, int xwidth, int yHeight)
{
    const QPoint cursor = QCursor::pos();
    return pointInRect(cursor.x(), cursor.y(), xPos, yPos, xwidth, yHeight);
}

QString ConfigData::previewText(const QString &msg, const QString &msgType, const QString &picture,
                                const QString &file, const QString &emoticon) const
{
    return NoticeText::preview(msg, msgType, {picture, file, emoticon});
}

QString ConfigData::editorBody(const QString &html) const
{
    return EditorBody::of(html);
}

bool ConfigData::isEmptyBody(const QString &body)
{
    static const QRegularExpression blank(QStringLiteral("&nbsp;|\\s"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    return filterRichText(body).remove(blank).isEmpty();
}

bool ConfigData::hasServerPicture(const QString &body) const
{
    return EditorBody::hasServerPicture(body);
}

void ConfigData::rememberConversation(const QString &id, const QString &name, const QString &types,
                                      bool history)
{
    const QJsonObject last{{QStringLiteral("id"), id},
                           {QStringLiteral("name"), name},
                           {QStringLiteral("types"), types},
                           {QStringLiteral("history"), history},
                           {QStringLiteral("user"), getUserId()}};
    setCurrentMainFile(id.isEmpty()
                           ? QString()
                           : QString::fromUtf8(QJsonDocument(last).toJson(QJsonDocument::Compact)),
                       QStringLiteral("lastConversation"));
}

QVariantMap ConfigData::lastConversation()
{
    QJsonObject last;
    if (!PeerJson::parseObject(getCurrentMainFile(QStringLiteral("lastConversation")).toUtf8(),
                               &last))
        return {};
    const QJsonValue id = last.value(QLatin1String("id"));
    const QString types = last.value(QLatin1String("types")).toString();
    const QJsonValue user = last.value(QLatin1String("user"));
    if (!id.isString() || id.toString().isEmpty() ||
        (types != QLatin1String("2") && types != QLatin1String("3")) ||
        (!user.isUndefined() && user.toString() != getUserId()))
        return {};
    return {{QStringLiteral("id"), id.toString()},
            {QStringLiteral("name"), JsonField::text(last.value(QLatin1String("name")))},
            {QStringLiteral("types"), types},
            {QStringLiteral("history"), last.value(QLatin1String("history")).toBool()}};
}

QString ConfigData::filterRichText(const QString &texts)
{
    if (texts.contains(QLatin1String("img")))
        return texts;
    static const QRegularExpression styleBlock(QStringLiteral("<style([^.]*)style>"));
    QString source = texts;
    source.remove(styleBlock);
    QString result;
    result.reserve(source.size());
    bool inTag = false;
    for (const QChar c : qAsConst(source)) {
        if (c == QLatin1Char('<')) {
            inTag = true;
        } else if (c == QLatin1Char('>')) {
            inTag = false;
            result += c;
        } else if (!inTag) {
            result += c;
        }
    }
    result.remove(QLatin1Char('\n'));
    result.remove(QLatin1Char('>'));
    return result;
}

void ConfigData::setMessageNumber(int number)
{
    Q_UNUSED(number)
}

void ConfigData::getVersionInfor()
{
    m_versionRequest->getVersionInfor();
}

void ConfigData::onVersionInforFinished(QNetworkReply *reply)
{
    m_versionRequest->onVersionInforFinished(reply);
}

QString ConfigData::updateSourceNote() const
{
    return VersionRequest::updateSourceNote();
}

bool ConfigData::selfUpdating() const
{
    return installationWritable();
}

bool ConfigData::openUpdateProgrom(const QString &updateInfors, const QString &crrentVersion)
{
    return VersionRequest::openUpdateProgrom(updateInfors, crrentVersion);
}

void ConfigData::openExeProgram()
{
    QCoreApplication::exit(ProgramInfo::quitExitCode);
}

void ConfigData::restartDevice()
{
    disConnectServer();
    QCoreApplication::exit(ProgramInfo::restartExitCode);
}

void ConfigData::disConnectServer()
{
    SocketHandl::instance()->disConnectServer();
}

void ConfigData::signOut()
{
    SocketHandl::instance()->forgetAccount();
    HistoryLink::instance()->signOut();
    ParameterInfor::instance()->forgetAccount();
    SystemInformation::gestance()->forgetAccount();
    MenuModel::instance()->forgetAccount();
    LoadPersonnel::gestance()->forgetAccount();
    HandlOrganization::gestance()->forgetAccount();
    MessageFilestore::release();
    RoundPicture::clearCache();
    store()->forgetAccount();
    qCInfo(lcConfig) << "signed out: the account's data is forgotten";
}

void ConfigData::setLoginServerIp()
{
    store()->setLoginServerIp();
}

void ConfigData::clearChatHistory()
{
    HistoryLink::instance()->clear();
}

QString ConfigData::historyNotice() const
{
    QString notice = HistoryLink::instance()->notice();
    // The settings file's own trouble is said in the same place when the page is shown.
    if (store()->writeFailed()) {
        if (!notice.isEmpty())
            notice += QLatin1Char('\n');
        notice +=
            tarnex::writeFailureText(tarnex::LocalStore::Settings, store()->writeFailedForSpace());
    }
    return notice;
}
