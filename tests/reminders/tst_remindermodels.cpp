#include "referenceserver.h"
#include "testenvironment.h"

#include "net/replyenvelope.h"
#include "reminders/menumodel.h"
#include "reminders/moduleicons.h"
#include "reminders/moduletreemodel.h"
#include "reminders/reminderlistmodel.h"
#include "reminders/remindermodulemodel.h"
#include "reminders/systeminformation.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

// The reminder view's models and the module menu's tree, fed the server's demo data in the
// shapes of its replies: the module counts, the paging and its one request at a time, the read
// queues, and the tree's rows as menus open and close.
class TestReminderModels : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void modulesAndStaleCounts();
    void pagesOneRequestAtATime();
    void readMarksQueueAndCountDown();
    void failedPageSaysWhy();
    void treeOpensAndClosesInPlace();
    void searchAndCommonFunctions();

private:
    QByteArray page(const QJsonArray &records, int current) const;
    QJsonArray records(const QString &menu = QString(), bool unreadOnly = false) const;
    void feedStore();

    QJsonArray m_groups;
    QJsonArray m_sms;
    int m_perPage = 0;
};

namespace {

QJsonObject readDemo(const QString &name)
{
    QFile file(ReferenceServer::sourceDir() + QStringLiteral("/server/demo/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QByteArray reply(const QJsonValue &data)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("status"), 1},
                                     {QStringLiteral("errors"), QJsonArray()},
                                     {QStringLiteral("data"), data}})
        .toJson(QJsonDocument::Compact);
}

QString key(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString::number(value.toInt());
}

QStringList column(const QAbstractItemModel &model, int role)
{
    QStringList values;
    for (int i = 0; i < model.rowCount(); ++i)
        values << model.index(i, 0).data(role).toString();
    return values;
}

} // namespace

void TestReminderModels::initTestCase()
{
    m_groups = readDemo(QStringLiteral("reminds.json")).value(QLatin1String("groups")).toArray();
    const QJsonObject sms = readDemo(QStringLiteral("system-sms.json"));
    m_sms = sms.value(QLatin1String("sms")).toArray();
    m_perPage = sms.value(QLatin1String("per_page")).toInt();
    QVERIFY(!m_groups.isEmpty() && m_sms.size() > 2 * m_perPage && m_perPage > 0);
}

// The demo's reminders as the list reply carries them, with the group's names.
QJsonArray TestReminderModels::records(const QString &menu, bool unreadOnly) const
{
    QJsonArray list;
    for (const QJsonValue &value : m_sms) {
        const QJsonObject r = value.toObject();
        const QString smsMenu = key(r.value(QLatin1String("sms_menu")));
        const bool read = r.value(QLatin1String("read")).toBool();
        if ((!menu.isEmpty() && smsMenu != menu) || (unreadOnly && read))
            continue;
        QJsonObject group;
        for (const QJsonValue &g : m_groups) {
            if (key(g.toObject().value(QLatin1String("remind_menu"))) == smsMenu)
                group = g.toObject();
        }
        list.append(QJsonObject{{QStringLiteral("id"), r.value(QLatin1String("id"))},
                                {QStringLiteral("sms_menu"), smsMenu},
                                {QStringLiteral("sms_type"), r.value(QLatin1String("sms_type"))},
                                {QStringLiteral("content"), r.value(QLatin1String("content"))},
                                {QStringLiteral("send_time"), QStringLiteral("2024-06-01 09:00")},
                                {QStringLiteral("remind_flag"), read ? 1 : 0},
                                {QStringLiteral("remind_name"), group.value("remind_name")},
                                {QStringLiteral("menu_name"), group.value("menu_name")}});
    }
    return list;
}

QByteArray TestReminderModels::page(const QJsonArray &all, int current) const
{
    QJsonArray data;
    for (int i = (current - 1) * m_perPage; i < all.size() && i < current * m_perPage; ++i)
        data.append(all.at(i));
    const int last = qMax(1, (all.size() + m_perPage - 1) / m_perPage);
    return reply(QJsonObject{{QStringLiteral("total"), all.size()},
                             {QStringLiteral("per_page"), m_perPage},
                             {QStringLiteral("current_page"), current},
                             {QStringLiteral("last_page"), last},
                             {QStringLiteral("data"), data}});
}

// The groups reply and the unread counts the demo's reminders give.
void TestReminderModels::feedStore()
{
    SystemInformation *store = SystemInformation::gestance();
    QVERIFY(store->readGroups(ReplyEnvelope::fromBody(reply(m_groups))));
    QJsonObject module;
    int total = 0;
    for (const QJsonValue &r : records(QString(), true)) {
        const QString menu = r.toObject().value(QLatin1String("sms_menu")).toString();
        module.insert(menu, module.value(menu).toInt() + 1);
        ++total;
    }
    QVERIFY(store->readUnread(ReplyEnvelope::fromBody(
        reply(QJsonObject{{QStringLiteral("module"), module}, {QStringLiteral("total"), total}}))));
}

void TestReminderModels::modulesAndStaleCounts()
{
    feedStore();
    ReminderModuleModel modules;
    QAbstractItemModelTester tester(&modules,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    modules.setAllName(QStringLiteral("全部"));
    modules.reload();
    // "all" first, then each module once in the store's order (groups by id); a numeric key
    // as its text.
    QCOMPARE(
        column(modules, ReminderModuleModel::KeyRole),
        (QStringList{"all", "flow", "document", "meeting", "notice", "7", "calendar", "vehicle"}));
    QCOMPARE(modules.nameOf(QStringLiteral("7")), QStringLiteral("考勤管理"));
    QCOMPARE(modules.unreadOf(QStringLiteral("all")), 10);
    QCOMPARE(modules.unreadOf(QStringLiteral("flow")), 4);
    QCOMPARE(modules.unreadOf(QStringLiteral("vehicle")), 0);
    QCOMPARE(modules.unreadKeys(QStringLiteral("all")),
             (QStringList{"flow", "document", "meeting", "notice", "7", "calendar"}));
    QCOMPARE(modules.unreadKeys(QStringLiteral("vehicle")), QStringList());

    // A new language renames "all" in place.
    QSignalSpy changed(&modules, &QAbstractItemModel::dataChanged);
    modules.setAllName(QStringLiteral("All"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(modules.get(0).value(QStringLiteral("name")).toString(), QStringLiteral("All"));

    // A mark counts the module and "all" down at once, never below zero.
    modules.countDown(QStringLiteral("document"), 5);
    QCOMPARE(modules.unreadOf(QStringLiteral("document")), 0);
    QCOMPARE(modules.unreadOf(QStringLiteral("all")), 5);
    QCOMPARE(modules.unreadOf(QStringLiteral("flow")), 4);

    // Counts asked for after a mark: the answer then in flight may predate it, so one more is
    // asked for once it is in, and no further.
    QSignalSpy wanted(&modules, &ReminderModuleModel::countsWanted);
    modules.askCounts();
    QCOMPARE(wanted.count(), 1);
    modules.refreshCounts();
    QCOMPARE(wanted.count(), 2);
    QCOMPARE(modules.unreadOf(QStringLiteral("document")), 2);
    QCOMPARE(modules.unreadOf(QStringLiteral("all")), 10);
    modules.refreshCounts();
    QCOMPARE(wanted.count(), 2);

    // The view stays on its module while the store still has it.
    QCOMPARE(modules.reloadKeeping(QStringLiteral("7")), QStringLiteral("7"));
    QCOMPARE(modules.reloadKeeping(QStringLiteral("gone")), QStringLiteral("all"));

    // Module pictures: by key before name, the particular word before the general one, in any
    // case; the notice picture for the rest. Every picture is one the client carries.
    const auto icon = [&modules](const char *key, const char *name) {
        return modules.iconPath(QString::fromUtf8(key), QString::fromUtf8(name))
            .remove(QStringLiteral("qrc:/images/"));
    };
    QCOMPARE(icon("WebMail", ""), QStringLiteral("webmailimage.png"));
    QCOMPARE(icon("mail", "流程中心"), QStringLiteral("emailimage.png"));
    QCOMPARE(icon("7", "考勤管理"), QStringLiteral("attendancemachineimage.png"));
    QCOMPARE(icon("", "人事档案管理员"), QStringLiteral("personnel_filesimage.png"));
    QCOMPARE(icon("", "档案室"), QStringLiteral("filemanagementimage.png"));
    QCOMPARE(icon("", ""), QStringLiteral("noticeimage.png"));
    QCOMPARE(icon("zz", "其他"), QStringLiteral("noticeimage.png"));
    const QStringList images = ModuleIcons::allImages();
    QCOMPARE(images.size(), 27);
    for (const QString &image : images)
        QVERIFY2(
            QFile::exists(ReferenceServer::sourceDir() + QStringLiteral("/qml/images/") + image),
            qPrintable(image));
}

void TestReminderModels::pagesOneRequestAtATime()
{
    feedStore();
    ReminderModuleModel modules;
    modules.reload();
    ReminderListModel list;
    list.setModules(&modules);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy wanted(&list, &ReminderListModel::pageWanted);
    const QJsonArray all = records();

    list.requestPage(QStringLiteral("flow"), false, 1);
    QCOMPARE(wanted.count(), 1);
    QCOMPARE(wanted.last(), (QVariantList{"flow", "", "1"}));
    QVERIFY(list.loading());
    // Another choice while the first is out waits for it; the first's answer is dropped.
    list.requestPage(QStringLiteral("all"), false, 1);
    QCOMPARE(wanted.count(), 1);
    list.pageArrived(QString::fromUtf8(page(records(QStringLiteral("flow")), 1)));
    QCOMPARE(list.count(), 0);
    QCOMPARE(wanted.count(), 2);
    QCOMPARE(wanted.last(), (QVariantList{"", "", "1"}));
    QVERIFY(list.loading());

    list.pageArrived(QString::fromUtf8(page(all, 1)));
    QVERIFY(!list.loading());
    QCOMPARE(list.count(), m_perPage);
    QCOMPARE(list.currentPage(), 1);
    QCOMPARE(list.lastPage(), 3);
    QCOMPARE(list.totalCount(), all.size());
    QVERIFY(list.hasMore());
    const QVariantMap first = list.get(0);
    QCOMPARE(first.value("remindId").toString(), QStringLiteral("1001"));
    QCOMPARE(first.value("smsMenu").toString(), QStringLiteral("flow"));
    QCOMPARE(first.value("menuName").toString(), QStringLiteral("流程中心"));
    QCOMPARE(first.value("isRead").toBool(), false);
    QCOMPARE(list.get(3).value("isRead").toBool(), true);

    // The next page is appended; one "load more" at a time.
    QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
    list.loadMore(QStringLiteral("all"), false);
    list.loadMore(QStringLiteral("all"), false);
    QCOMPARE(wanted.count(), 3);
    QCOMPARE(wanted.last(), (QVariantList{"", "", "2"}));
    // A new reminder moved the pages on: the last of page 1 comes again and is shown once; a
    // reminder without names takes its module's.
    QJsonArray shifted = all;
    shifted.insert(0, QJsonObject{{"id", 2001}, {"sms_menu", "meeting"}, {"content", "新的"}});
    list.pageArrived(QString::fromUtf8(page(shifted, 2)));
    QCOMPARE(reset.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), m_perPage);
    QCOMPARE(list.count(), 2 * m_perPage - 1);
    QCOMPARE(list.indexOf(QStringLiteral("1010")), m_perPage - 1);
    QCOMPARE(list.indexOf(QStringLiteral("1019")), 2 * m_perPage - 2);
    QCOMPARE(list.currentPage(), 2);
    QCOMPARE(list.totalCount(), all.size() + 1);

    QJsonArray nameless;
    nameless.append(QJsonObject{{"id", 2002}, {"sms_menu", "7"}, {"remind_flag", "1"}});
    list.requestPage(QStringLiteral("7"), true, 1);
    QCOMPARE(wanted.last(), (QVariantList{"7", "0", "1"}));
    QCOMPARE(list.count(), 0);
    QVERIFY(!list.hasMore());
    list.pageArrived(QString::fromUtf8(page(nameless, 1)));
    QCOMPARE(list.get(0).value("menuName").toString(), QStringLiteral("考勤管理"));
    QCOMPARE(list.get(0).value("isRead").toBool(), true);
    QCOMPARE(list.totalCount(), 1);
    QVERIFY(!list.hasMore());
}

void TestReminderModels::readMarksQueueAndCountDown()
{
    feedStore();
    ReminderModuleModel modules;
    modules.reload();
    ReminderListModel list;
    list.setModules(&modules);
    list.setProperty("markFailedText", QStringLiteral("未能设为已读"));
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.requestPage(QStringLiteral("all"), true, 1);
    list.pageArrived(QString::fromUtf8(page(records(QString(), true), 1)));
    QCOMPARE(list.count(), 10);
    QSignalSpy one(&list, &ReminderListModel::readOneWanted);
    QSignalSpy module(&list, &ReminderListModel::readModuleWanted);
    QSignalSpy counts(&modules, &ReminderModuleModel::countsWanted);
    QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

    // One mark out at a time; the rest wait, each once.
    const QString a = list.get(0).value("remindId").toString();
    const QString b = list.get(4).value("remindId").toString();
    list.markRead(0);
    list.markRead(4);
    list.markRead(0);
    list.markRead(4);
    QCOMPARE(one.count(), 1);
    QCOMPARE(one.last().first().toString(), a);
    list.requestStatus(true, 2, QString());
    QCOMPARE(list.get(0).value("isRead").toBool(), true);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.first().at(2).value<QVector<int>>(),
             QVector<int>{ReminderListModel::IsReadRole});
    QCOMPARE(modules.unreadOf(QStringLiteral("flow")), 3);
    QCOMPARE(modules.unreadOf(QStringLiteral("all")), 9);
    QCOMPARE(counts.count(), 0);
    QCOMPARE(one.count(), 2);
    QCOMPARE(one.last().first().toString(), b);
    // A refusal leaves the row and says why; the queue done, the counts are asked for.
    list.requestStatus(false, 2, QStringLiteral("服务器拒绝"));
    QCOMPARE(list.get(4).value("isRead").toBool(), false);
    QCOMPARE(list.errorText(), QStringLiteral("服务器拒绝"));
    QCOMPARE(counts.count(), 1);

    // Everything: each module with unread ones, one after the other.
    list.markAllRead(QStringLiteral("all"));
    list.markAllRead(QStringLiteral("all"));
    QVERIFY(list.readModuleBusy());
    QCOMPARE(module.count(), 1);
    QCOMPARE(module.last().first().toString(), QStringLiteral("flow"));
    list.requestStatus(true, 3, QString());
    QCOMPARE(modules.unreadOf(QStringLiteral("flow")), 0);
    for (int i = 0; i < list.count(); ++i) {
        if (list.get(i).value("smsMenu") == QLatin1String("flow"))
            QVERIFY(list.get(i).value("isRead").toBool());
    }
    QCOMPARE(list.get(4).value("isRead").toBool(), false);
    QStringList sent{QStringLiteral("flow")};
    while (list.readModuleBusy()) {
        sent << module.last().first().toString();
        list.requestStatus(sent.size() != 3, 3, QString());
    }
    QCOMPARE(sent, (QStringList{"flow", "document", "meeting", "notice", "7", "calendar"}));
    QCOMPARE(list.errorText(), QStringLiteral("未能设为已读"));
    QCOMPARE(modules.unreadOf(QStringLiteral("meeting")), 1);
    QCOMPARE(modules.unreadOf(QStringLiteral("all")), 1);
    QCOMPARE(counts.count(), 2);

    // A chosen module whose count is not known is marked all the same.
    list.markAllRead(QStringLiteral("vehicle"));
    QCOMPARE(module.last().first().toString(), QStringLiteral("vehicle"));
}

void TestReminderModels::failedPageSaysWhy()
{
    ReminderListModel list;
    list.setProperty("loadFailedText", QStringLiteral("提醒加载失败"));
    QSignalSpy wanted(&list, &ReminderListModel::pageWanted);
    list.requestPage(QStringLiteral("all"), false, 1);
    list.requestStatus(false, 1, QStringLiteral("提醒服务暂不可用"));
    list.pageArrived(QStringLiteral("errors"));
    QCOMPARE(list.errorText(), QStringLiteral("提醒服务暂不可用"));
    QVERIFY(!list.loading());
    // The server's message belongs to that one reply; a document of the wrong kind, or a page
    // without its list, gets the view's own text.
    for (const QString &body :
         {QStringLiteral("[{\"status\":1}]"), QString::fromUtf8(reply(QJsonObject{{"total", 3}})),
          QStringLiteral("<html>502</html>")}) {
        list.requestPage(QStringLiteral("all"), false, 1);
        QVERIFY(list.errorText().isEmpty());
        list.pageArrived(body);
        QCOMPARE(list.errorText(), QStringLiteral("提醒加载失败"));
        QCOMPARE(list.count(), 0);
    }
    QCOMPARE(wanted.count(), 4);
}

void TestReminderModels::treeOpensAndClosesInPlace()
{
    const QJsonObject menus = readDemo(QStringLiteral("menus.json"));
    QVERIFY(!menus.isEmpty());
    MenuModel::instance()->setMenuData(reply(QJsonObject{{"menus", menus}}));
    ModuleTreeModel tree;
    QAbstractItemModelTester tester(&tree, QAbstractItemModelTester::FailureReportingMode::QtTest);
    tree.reload();
    const QStringList top{"101", "102", "103", "104", "201", "202",
                          "203", "301", "302", "303", "401", "402"};
    QCOMPARE(column(tree, ModuleTreeModel::MenuIdRole), top);
    QCOMPARE(tree.get(0).value("hasChildren").toBool(), true);
    QCOMPARE(tree.get(2).value("hasChildren").toBool(), false);
    QVERIFY(!tree.get(0).value("icon").toString().isEmpty());

    QSignalSpy inserted(&tree, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&tree, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&tree, &QAbstractItemModel::modelReset);
    QVERIFY(tree.setExpanded(QStringLiteral("101"), true));
    QVERIFY(!tree.setExpanded(QStringLiteral("101"), true));
    QVERIFY(!tree.setExpanded(QStringLiteral("103"), true));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 1);
    QCOMPARE(inserted.first().at(2).toInt(), 2);
    QCOMPARE(tree.get(0).value("expanded").toBool(), true);
    QCOMPARE(tree.get(1).value("menuId").toString(), QStringLiteral("1011"));
    QCOMPARE(tree.get(1).value("depth").toInt(), 1);
    // Entries below a menu carry no icon.
    QCOMPARE(tree.get(1).value("icon").toString(), QString());
    QCOMPARE(tree.indexOf(QStringLiteral("401")), 12);

    // Three levels: the open entry's own entries below it, then closing the menu removes them
    // all, and opening it again shows the entry still open.
    QVERIFY(tree.setExpanded(QStringLiteral("401"), true));
    QVERIFY(tree.setExpanded(QStringLiteral("4012"), true));
    QCOMPARE(tree.count(), 12 + 2 + 4);
    QCOMPARE(tree.get(15).value("menuId").toString(), QStringLiteral("40121"));
    QCOMPARE(tree.get(15).value("depth").toInt(), 2);
    QCOMPARE(tree.indexOf(QStringLiteral("402")), 17);
    QVERIFY(tree.setExpanded(QStringLiteral("401"), false));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 13);
    QCOMPARE(removed.first().at(2).toInt(), 16);
    QCOMPARE(tree.count(), 14);
    QCOMPARE(tree.indexOf(QStringLiteral("402")), 13);
    QCOMPARE(tree.indexOf(QStringLiteral("40121")), -1);
    QVERIFY(tree.setExpanded(QStringLiteral("401"), true));
    QCOMPARE(tree.count(), 18);
    QCOMPARE(tree.indexOf(QStringLiteral("40122")), 16);
    QCOMPARE(reset.count(), 0);

    // A new menu from the server keeps the open menus open.
    tree.reload();
    QCOMPARE(tree.count(), 18);
    QCOMPARE(tree.moduleOf(QStringLiteral("40122")), QStringLiteral("401"));
}

void TestReminderModels::searchAndCommonFunctions()
{
    MenuModel::instance()->setMenuData(
        reply(QJsonObject{{"menus", readDemo(QStringLiteral("menus.json"))}}));
    ModuleTreeModel tree;
    tree.reload();
    tree.setExpanded(QStringLiteral("101"), true);

    // Names and initials at any depth, in either case, with the path to them.
    tree.setSearchText(QStringLiteral("FWNG"));
    QCOMPARE(tree.count(), 1);
    QCOMPARE(tree.get(0).value("menuId").toString(), QStringLiteral("1012"));
    QCOMPARE(tree.get(0).value("path").toString(), QStringLiteral("公文管理"));
    QCOMPARE(tree.get(0).value("depth").toInt(), 0);
    QVERIFY(!tree.get(0).value("icon").toString().isEmpty());
    tree.setSearchText(QStringLiteral("拜访"));
    QCOMPARE(column(tree, ModuleTreeModel::MenuIdRole), QStringList{"40122"});
    QCOMPARE(tree.get(0).value("path").toString(), QStringLiteral("客户管理 / 跟进记录"));
    tree.setSearchText(QStringLiteral("管理"));
    QCOMPARE(column(tree, ModuleTreeModel::MenuIdRole), (QStringList{"101", "201", "302", "401"}));
    // Opening a result shows it open but adds no rows.
    QVERIFY(tree.setExpanded(QStringLiteral("401"), true));
    QCOMPARE(tree.count(), 4);
    tree.setSearchText(QString());
    QCOMPARE(tree.count(), 12 + 2 + 2);

    // The view stays on its menu through a search and back; a menu the search hides gives the
    // first row, no rows none.
    const int current = tree.search(QStringLiteral("管理"), tree.indexOf(QStringLiteral("401")));
    QCOMPARE(current, 3);
    QCOMPARE(tree.search(QString(), current), 12);
    QCOMPARE(tree.search(QStringLiteral("拜访"), 12), 0);
    QCOMPARE(tree.search(QStringLiteral("§"), 0), -1);
    QCOMPARE(tree.search(QString(), -1), 0);
    QCOMPARE(tree.reloadKeeping(tree.indexOf(QStringLiteral("4012"))), 14);

    // A menu activated becomes the chosen one and opens or closes, in place while searching; an
    // entry is given back to open.
    QCOMPARE(tree.activateRow(0), QString());
    QCOMPARE(tree.chosenId(), QStringLiteral("101"));
    QVERIFY(!tree.isExpanded(QStringLiteral("101")));
    QCOMPARE(tree.activateRow(tree.indexOf(QStringLiteral("103"))), QStringLiteral("103"));
    QCOMPARE(tree.chosenId(), QStringLiteral("101"));
    QCOMPARE(tree.activateRow(-1), QString());
    QCOMPARE(tree.activateRow(tree.count()), QString());
    tree.setSearchText(QStringLiteral("管理"));
    QCOMPARE(tree.activateRow(tree.indexOf(QStringLiteral("401"))), QString());
    QCOMPARE(tree.chosenId(), QStringLiteral("401"));
    QVERIFY(tree.isExpanded(QStringLiteral("401")));
    tree.setSearchText(QString());
    // Opening by id (a tile): only an entry opens a page.
    QVERIFY(!tree.opensPage(QStringLiteral("4012")));
    QCOMPARE(tree.chosenId(), QStringLiteral("4012"));
    QVERIFY(tree.opensPage(QStringLiteral("40121")));
    QVERIFY(!tree.opensPage(QStringLiteral("999")));
    QCOMPARE(tree.chosenId(), QStringLiteral("4012"));
    QCOMPARE(tree.fallbackIcon(QStringLiteral("客户管理")),
             QStringLiteral("qrc:/images/customerimage.png"));
    tree.setChosenId(QString());
    tree.setExpanded(QStringLiteral("101"), true);

    // Before any entry was opened: the first entries of the menu.
    tree.loadCommon(QString());
    QCOMPARE(tree.commonIds(),
             (QStringList{"1011", "1012", "1021", "1022", "103", "104", "201", "202"}));
    // Stored ones: entries only, known ones, each once.
    tree.loadCommon(QStringLiteral("[\"103\", 101, \"999\", \"103\", 40121]"));
    QCOMPARE(tree.commonIds(), (QStringList{"103", "40121"}));
    const QVariantList tiles = tree.commonTiles();
    QCOMPARE(tiles.size(), 2);
    QCOMPARE(tiles.at(1).toMap().value("key").toString(), QStringLiteral("commonEntry_40121"));
    QCOMPARE(tiles.at(1).toMap().value("name").toString(), QStringLiteral("电话回访"));
    QCOMPARE(tree.remembered(QStringLiteral("[\"103\",\"1011\"]"), QStringLiteral("1011")),
             QStringLiteral("[\"1011\",\"103\"]"));
    QCOMPARE(tree.remembered(QStringLiteral("[1,2,3,4,5,6,7,8,9]"), QStringLiteral("5")),
             QStringLiteral("[\"5\",\"1\",\"2\",\"3\",\"4\",\"6\",\"7\",\"8\"]"));

    // The chosen menu's tiles, every top-level menu without one; a menu gone is forgotten.
    QCOMPARE(tree.chosenTiles().size(), 12);
    tree.setChosenId(QStringLiteral("4012"));
    QCOMPARE(tree.chosenName(), QStringLiteral("跟进记录"));
    QCOMPARE(tree.chosenTiles().at(0).toMap().value("key").toString(),
             QStringLiteral("tileEntry_40121"));
    QSignalSpy chosen(&tree, &ModuleTreeModel::chosenChanged);
    MenuModel::instance()->setMenuData(reply(QJsonObject{
        {"menus",
         QJsonObject{{"module", QJsonArray{QJsonObject{
                                    {"item", QJsonArray{QJsonObject{{"menu_id", 7},
                                                                    {"menu_name", "X"}}}}}}}}}}));
    tree.reload();
    QCOMPARE(tree.chosenId(), QString());
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(tree.count(), 1);
}

TARNEX_TEST_MAIN(TestReminderModels)
#include "tst_remindermodels.moc"
