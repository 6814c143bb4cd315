#include "qmltypes.h"

#include "config/aesiteminfor.h"
#include "config/searchhistorymodel.h"
#include "desktop/clipboard.h"
#include "desktop/compositionwatch.h"
#include "desktop/desktopview.h"
#include "desktop/handlurl.h"
#include "desktop/linkopener.h"
#include "desktop/startupphase.h"
#include "directory/filteruserauthority.h"
#include "directory/getcompany.h"
#include "directory/loadpersonnelinfor.h"
#include "directory/peoplesearchmodel.h"
#include "directory/qtreemodel.h"
#include "directory/treemodelitem.h"
#include "directory/treerowsmodel.h"
#include "files/chatfiletransfers.h"
#include "files/downloadfile.h"
#include "files/messagefilestoreitem.h"
#include "files/uploadimage.h"
#include "items/codepainter.h"
#include "items/roundpicture.h"
#include "items/skincolours.h"
#include "items/textballoon.h"
#include "language/httplanguagepackage.h"
#include "language/languagetexts.h"
#include "messaging/conversationlistmodel.h"
#include "messaging/conversationmodel.h"
#include "messaging/groupchangewatch.h"
#include "messaging/grouplistmodel.h"
#include "messaging/groupmembermodel.h"
#include "messaging/onlineinfor.h"
#include "messaging/socketstate.h"
#include "messaging/unreadlistmodel.h"
#include "reminders/menuitem.h"
#include "reminders/moduletreemodel.h"
#include "reminders/reminderlistmodel.h"
#include "reminders/remindermodulemodel.h"
#include "reminders/systemhandl.h"
#include "reminders/systemrequest.h"
#include "shell/basicsettings.h"
#include "shell/browserdownloads.h"
#include "shell/browserguard.h"
#include "shell/browserwindowlist.h"
#include "shell/certificatetrust.h"
#include "shell/configdata.h"
#include "shell/loginrequest.h"
#include "shell/messagenotices.h"
#include "shell/pinnedorigincheck.h"
#include "shell/signinform.h"
#include "shell/updatecheck.h"
#include "update/httprequest.h"

#include <QtQml>

namespace {

template <typename T> void registerType(const char *name)
{
    qmlRegisterType<T>(name, 1, 0, name);
}

} // namespace

void registerQmlTypes()
{
    registerType<HandlUrl>("HandlUrl");
    registerType<CodePainter>("CodePainter");
    registerType<TextBalloon>("TextBalloon");
    registerType<RoundPicture>("RoundPicture");
    registerType<QTreeModel>("QTreeModel");
    registerType<ConfigData>("ConfigData");
    registerType<LoginRequest>("LoginRequest");
    registerType<SystemHandl>("SystemHandl");
    registerType<SystemRequest>("SystemRequest");
    registerType<ReminderModuleModel>("ReminderModuleModel");
    registerType<ReminderListModel>("ReminderListModel");
    registerType<GetCompany>("GetCompany");
    registerType<LoadPersonnelinfor>("LoadPersonnelinfor");
    registerType<SocketState>("SocketState");
    registerType<OnlineInfor>("OnlineInfor");
    registerType<ConversationListModel>("ConversationListModel");
    registerType<ConversationModel>("ConversationModel");
    registerType<GroupListModel>("GroupListModel");
    registerType<GroupMemberModel>("GroupMemberModel");
    registerType<GroupChangeWatch>("GroupChangeWatch");
    registerType<UploadImage>("UploadImage");
    registerType<DownloadFile>("DownloadFile");
    registerType<ChatFileTransfers>("ChatFileTransfers");
    registerType<MenuItem>("MenuItem");
    registerType<ModuleTreeModel>("ModuleTreeModel");
    registerType<TreeModelitem>("TreeModelitem");
    registerType<TreeRowsModel>("TreeRowsModel");
    registerType<PeopleSearchModel>("PeopleSearchModel");
    registerType<SearchHistoryModel>("SearchHistoryModel");
    registerType<AesIteminfor>("AesIteminfor");
    registerType<ClipBoard>("ClipBoard");
    registerType<DesktopView>("DesktopView");
    registerType<FilteruserAuthority>("FilteruserAuthority");
    registerType<HttpRequest>("HttpRequest");
    registerType<HttplanguagePackage>("HttplanguagePackage");
    registerType<LanguageTextsBase>("LanguageTextsBase");
    registerType<MessageFilestoreitem>("MessageFilestoreitem");
    registerType<MessageNotices>("MessageNotices");
    registerType<CertificateTrust>("CertificateTrust");
    registerType<LinkOpener>("LinkOpener");
    registerType<PinnedOriginCheck>("PinnedOriginCheck");
    registerType<BrowserGuard>("BrowserGuard");
    registerType<BrowserDownloads>("BrowserDownloads");
    registerType<BrowserWindowList>("BrowserWindowList");
    registerType<UnreadListModel>("UnreadListModel");
    registerType<BasicSettings>("BasicSettings");
    registerType<SignInForm>("SignInForm");
    registerType<UpdateCheck>("UpdateCheck");
    // Plain arithmetic: one object serves every document.
    qmlRegisterSingletonType<SkinColours>(
        "SkinColours", 1, 0, "SkinColours",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new SkinColours; });
    // One watch for every window: whether see-through pixels show the desktop or black.
    qmlRegisterSingletonType<CompositionWatch>(
        "WindowComposition", 1, 0, "WindowComposition",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new CompositionWatch; });
    // What the first frame does not show waits for it: one phase for the process, the same
    // for every engine (the tests make many).
    qmlRegisterSingletonType<StartupPhase>(
        "StartupPhase", 1, 0, "StartupPhase", [](QQmlEngine *, QJSEngine *) -> QObject * {
            QObject *phase = StartupPhase::instance();
            QQmlEngine::setObjectOwnership(phase, QQmlEngine::CppOwnership);
            return phase;
        });
}
