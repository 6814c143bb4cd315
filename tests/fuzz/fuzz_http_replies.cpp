// libFuzzer target for the readers of the server's HTTP replies: the first byte picks the reader
// (login, module menu, reminder groups and items, update feed, organisation members, language
// list and text table), the rest is the reply body.
// Nothing may crash, and what a reader accepts must read back consistently.

#include "directory/memberbatch.h"
#include "fuzzsetup.h"
#include "language/languageinformation.h"
#include "net/replyenvelope.h"
#include "records/memberrecord.h"
#include "reminders/menumodel.h"
#include "reminders/remindgroup.h"
#include "signin/loginreply.h"
#include "update/updatefeed.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

namespace {

QCoreApplication *application = nullptr;

void readLogin(const QByteArray &body)
{
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    if (envelope.success() != (envelope.answered() && envelope.status() != 0))
        abort();
    (void)envelope.errorMessage();
    const LoginReply reply = LoginReply::read(envelope);
    if (reply.usable() && (reply.token().isEmpty() || reply.userId().isEmpty()))
        abort();
}

void readMenu(const QByteArray &body)
{
    MenuModel *menus = MenuModel::instance();
    menus->setMenuData(body);
    QCoreApplication::sendPostedEvents();
    const QList<int> ids = menus->menuListId();
    for (int id : ids) {
        // Every module's children come back as the JSON object the documents parse.
        if (!QJsonDocument::fromJson(menus->childMenuList(id).toUtf8()).isObject())
            abort();
        (void)menus->menuIdInfor(id, QStringLiteral("menu_name"));
    }
}

void readReminders(const QByteArray &body)
{
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    const QJsonArray list = envelope.data().toArray();
    for (const QJsonValue &entry : list) {
        const RemindGroup group = RemindGroup::fromJson(entry.toObject());
        (void)group.field(QStringLiteral("remind_menu"));
        const RemindItem item = RemindItem::fromJson(entry.toObject());
        (void)item.field(QStringLiteral("id"));
    }
}

void readFeed(const QByteArray &body)
{
    const UpdateFeed feed = UpdateFeed::parse(body);
    // What the client hands to the updater must parse there the same way.
    if (feed.valid) {
        const UpdateFeed again = UpdateFeed::parse(feed.text.toUtf8());
        if (!again.valid || again.version != feed.version || again.url != feed.url ||
            again.manifest != feed.manifest || again.signature != feed.signature)
            abort();
    }
    (void)UpdateFeed::compareVersions(feed.version, QStringLiteral("5.0.0.4"));
    // A signed manifest is read only after its signature verifies, but its reader takes any bytes.
    ReleaseManifest manifest;
    (void)ReleaseManifest::parse(body, &manifest);
}

bool hasControls(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t') &&
            c != QLatin1Char('\n'))
            return true;
    }
    return false;
}

void readMembers(const QByteArray &body)
{
    const ReplyEnvelope envelope = ReplyEnvelope::fromBody(body);
    MemberBatch batch = MemberBatch::read(envelope.dataObject());
    for (const MemberRecord *record : qAsConst(batch.records)) {
        // A department is told from a user by its id alone; names never carry controls.
        const bool department = !record->dept_id.isEmpty();
        if (department && !record->user_id.isEmpty())
            abort();
        if (hasControls(record->dept_name) || hasControls(record->user_name))
            abort();
    }
    for (const MemberRecord *department : qAsConst(batch.withMembers)) {
        if (department->dept_id.isEmpty() || department->has_children.toLongLong() <= 0)
            abort();
    }
    batch.release();
}

void readLanguages(const QByteArray &body)
{
    QMap<QString, QString> languages;
    LanguageInformation::readLanguageList(body, &languages);
    QMap<QString, QString> texts;
    LanguageInformation::readTextTable(body, &texts);
    for (const QString &text : qAsConst(texts)) {
        if (hasControls(text))
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    application = fuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray body(reinterpret_cast<const char *>(data + 1), int(size - 1));
    switch (data[0] % 6) {
    case 0:
        readLogin(body);
        break;
    case 1:
        readMenu(body);
        break;
    case 2:
        readReminders(body);
        break;
    case 3:
        readFeed(body);
        break;
    case 4:
        readMembers(body);
        break;
    default:
        readLanguages(body);
        break;
    }
    return 0;
}
