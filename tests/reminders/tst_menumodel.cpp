#include "referenceserver.h"
#include "reminderslogin.h"
#include "testenvironment.h"

#include "reminders/menuitem.h"
#include "reminders/menumodel.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <atomic>
#include <thread>

// The module menu read from real login replies (both shapes the server may send) and from
// crafted ones; its model, its readers during a refill from another thread, and the icons.
class TestMenuModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void iconsAlternateAndStayInTheirFolder();
    void demoMenusHaveIcons();
    void bothShapes_data();
    void bothShapes();
    void childListText();
    void entriesAsTheyCome();
    void unusableBodyKeepsTheMenu_data();
    void unusableBodyKeepsTheMenu();
    void modelRoles();
    void readsDuringRefillFromAnotherThread();
    void deepTree();

private:
    QList<int> load(const QByteArray &body);

    ReferenceServer m_server;
    QByteArray m_grouped; // menus in data.menus.module[].item[]
    QByteArray m_own;     // menus in data.current_user.menus.module[]
    MenuItem m_item;
};

namespace {

const QList<int> groupedIds{101, 102, 103, 104, 201, 202, 203, 301, 302, 303, 401, 402};
const QList<int> ownIds{101, 102, 104, 401, 402};

QByteArray reply(const QJsonObject &data)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("status"), 1},
                                     {QStringLiteral("errors"), QJsonArray()},
                                     {QStringLiteral("data"), data}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject menu(int id, const QString &name, const QJsonArray &children = {})
{
    QJsonObject entry{{QStringLiteral("menu_id"), id},
                      {QStringLiteral("menu_name"), name},
                      {QStringLiteral("menu_name_zm"), name.toLower()},
                      {QStringLiteral("has_children"), children.isEmpty() ? 0 : 1}};
    if (!children.isEmpty())
        entry.insert(QStringLiteral("item"), children);
    return entry;
}

// Menus in the grouped shape: one module holding them all.
QByteArray groupedReply(const QJsonArray &menus)
{
    return reply({{QStringLiteral("menus"),
                   QJsonObject{{QStringLiteral("module"),
                                QJsonArray{QJsonObject{{QStringLiteral("item"), menus}}}}}}});
}

QJsonArray items(const QString &childList)
{
    return QJsonDocument::fromJson(childList.toUtf8())
        .object()
        .value(QLatin1String("item"))
        .toArray();
}

} // namespace

void TestMenuModel::initTestCase()
{
    MenuModel::instance();
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    m_grouped = loginBody(m_server, QStringLiteral("zhangwei"));
    m_own = loginBody(m_server, QStringLiteral("lina"));
    QVERIFY(!loginToken(m_grouped).isEmpty());
    QVERIFY(!loginToken(m_own).isEmpty());
    m_server.stop();
}

QList<int> TestMenuModel::load(const QByteArray &body)
{
    MenuModel::instance()->setMenuData(body);
    return m_item.getMenuLIstId();
}

void TestMenuModel::iconsAlternateAndStayInTheirFolder()
{
    // The shared icons are taken in turn for the whole process, so this case runs first.
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString folder = work.path() + QStringLiteral("/menuimages/");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(ReferenceServer::sourceDir() + QStringLiteral("/menuimages/公文管理.png"),
                        folder + QStringLiteral("公文管理.png")));
    QFile odd(folder + QStringLiteral("A#1 %20.png"));
    QVERIFY(odd.open(QIODevice::WriteOnly));
    odd.close();
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));

    const QString own = m_item.getMenuImage(QStringLiteral("公文管理"));
    QCOMPARE(QUrl(own).toLocalFile(),
             QDir(folder).absoluteFilePath(QStringLiteral("公文管理.png")));
    QCOMPARE(QUrl(m_item.getMenuImage(QStringLiteral("A#1 %20"))).toLocalFile(),
             QDir(folder).absoluteFilePath(QStringLiteral("A#1 %20.png")));

    QStringList shared;
    for (const QString &name :
         {QStringLiteral("没有图标"), QStringLiteral("另一个"), QString(),
          QStringLiteral("../menuimages/公文管理"), QStringLiteral("公文管理/..")}) {
        const QString url = m_item.getMenuImage(name);
        QVERIFY2(url.startsWith(QLatin1String("file:///")), qPrintable(url));
        shared << QFileInfo(QUrl(url).toLocalFile()).fileName();
        QCOMPARE(QFileInfo(QUrl(url).toLocalFile()).absolutePath(), QDir(folder).absolutePath());
    }
    QCOMPARE(shared, (QStringList{QStringLiteral("公用.png"), QStringLiteral("公用2.png"),
                                  QStringLiteral("公用.png"), QStringLiteral("公用2.png"),
                                  QStringLiteral("公用.png")}));
    QVERIFY(QDir::setCurrent(before));
}

void TestMenuModel::demoMenusHaveIcons()
{
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(ReferenceServer::sourceDir()));
    QVERIFY(QFileInfo::exists(QStringLiteral("menuimages/公用.png")));
    QVERIFY(QFileInfo::exists(QStringLiteral("menuimages/公用2.png")));
    for (const QByteArray &body : {m_grouped, m_own}) {
        for (int id : load(body)) {
            const QString name = m_item.getMenuIdInfor(id, QStringLiteral("menu_name"));
            const QString icon = QUrl(m_item.getMenuImage(name)).toLocalFile();
            QCOMPARE(QFileInfo(icon).fileName(), name + QStringLiteral(".png"));
        }
    }
    QVERIFY(QDir::setCurrent(before));
}

void TestMenuModel::bothShapes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("grouped in data.menus") << m_grouped << groupedIds;
    QTest::newRow("the user's own in current_user.menus") << m_own << ownIds;

    // The user's own menus win even when the reply also carries the grouped ones.
    QJsonObject data =
        QJsonDocument::fromJson(m_grouped).object()[QLatin1String("data")].toObject();
    QJsonObject user = data[QLatin1String("current_user")].toObject();
    user.insert(QStringLiteral("menus"),
                QJsonObject{{QStringLiteral("module"), QJsonArray{menu(7, QStringLiteral("X"))}}});
    data.insert(QStringLiteral("current_user"), user);
    QTest::newRow("both present") << reply(data) << QList<int>{7};
}

void TestMenuModel::bothShapes()
{
    QFETCH(QByteArray, body);
    QFETCH(QList<int>, ids);
    QSignalSpy updated(&m_item, &MenuItem::sigUpdateData);
    QCOMPARE(load(body), ids);
    QCOMPARE(updated.count(), 1);
}

void TestMenuModel::childListText()
{
    load(m_grouped);
    const QString text = m_item.getChildMenuLIst(401);
    QVERIFY(text.contains(QLatin1Char('\n'))); // indented, line feeds kept
    const QJsonArray children = items(text);
    QCOMPARE(children.size(), 2);
    const QJsonObject follow = children.at(1).toObject();
    QCOMPARE(follow.value(QLatin1String("menu_id")), QJsonValue(QStringLiteral("4012")));
    QCOMPARE(follow.value(QLatin1String("has_children")), QJsonValue(QStringLiteral("1")));
    const QJsonArray grandchildren = follow.value(QLatin1String("item")).toArray();
    QCOMPARE(grandchildren.at(1)[QLatin1String("menu_id")].toString(), QStringLiteral("40122"));
    QCOMPARE(grandchildren.at(1)[QLatin1String("item")].toArray(), QJsonArray());

    // A menu without children, and one that is not there, list an empty item array.
    const QJsonObject empty{{QStringLiteral("item"), QJsonArray()}};
    QCOMPARE(QJsonDocument::fromJson(m_item.getChildMenuLIst(103).toUtf8()).object(), empty);
    QCOMPARE(QJsonDocument::fromJson(m_item.getChildMenuLIst(999).toUtf8()).object(), empty);
    QCOMPARE(m_item.getMenuIdInfor(103, QStringLiteral("has_children")), QStringLiteral("0"));
    QCOMPARE(m_item.getMenuIdInfor(101, QStringLiteral("item")), QString());
    QCOMPARE(m_item.getMenuIdInfor(999, QStringLiteral("menu_name")), QString());
}

void TestMenuModel::entriesAsTheyCome()
{
    QJsonObject noId{{QStringLiteral("menu_name"), QStringLiteral("无编号")},
                     {QStringLiteral("has_children"), QStringLiteral("yes")}};
    const QByteArray body = groupedReply(
        {menu(5, QStringLiteral("first"),
              {menu(52, QStringLiteral("b")), menu(51, QStringLiteral("a"))}),
         QStringLiteral("not an object"), 42, menu(5, QStringLiteral("second")), noId});
    QCOMPARE(load(body), (QList<int>{0, 5}));
    // A later entry with the same id replaces the earlier one, children and all.
    QCOMPARE(m_item.getMenuIdInfor(5, QStringLiteral("menu_name")), QStringLiteral("second"));
    QCOMPARE(items(m_item.getChildMenuLIst(5)), QJsonArray());
    // Missing or non-integer numbers read as 0.
    QCOMPARE(m_item.getMenuIdInfor(0, QStringLiteral("menu_name")), QStringLiteral("无编号"));
    QCOMPARE(m_item.getMenuIdInfor(0, QStringLiteral("has_children")), QStringLiteral("0"));

    load(groupedReply({menu(5, QStringLiteral("x"),
                            {menu(52, QStringLiteral("b")), menu(51, QStringLiteral("a"))})}));
    const QJsonArray children = items(m_item.getChildMenuLIst(5));
    QCOMPARE(children.at(0)[QLatin1String("menu_id")].toString(), QStringLiteral("51"));
    QCOMPARE(children.at(1)[QLatin1String("menu_id")].toString(), QStringLiteral("52"));
}

void TestMenuModel::unusableBodyKeepsTheMenu_data()
{
    QTest::addColumn<QByteArray>("body");
    auto withMenus = [](const QJsonValue &menus) {
        return reply({{QStringLiteral("menus"), menus}});
    };
    auto withOwnMenus = [](const QJsonValue &menus) {
        return reply(
            {{QStringLiteral("current_user"), QJsonObject{{QStringLiteral("menus"), menus}}}});
    };
    QTest::newRow("not JSON") << QByteArray("<html>502</html>");
    QTest::newRow("an array") << QByteArray("[1,2]");
    QTest::newRow("no status") << QByteArray(R"({"data":{"menus":{"module":[]}}})");
    QTest::newRow("refused") << QByteArray(
        R"({"status":0,"errors":[{"code":"x","message":"账号或密码错误"}],"data":{}})");
    QTest::newRow("data a list") << QByteArray(R"({"status":1,"data":[]})");
    QTest::newRow("menus text") << withMenus(QStringLiteral("menus"));
    QTest::newRow("module an object")
        << withMenus(QJsonObject{{QStringLiteral("module"), QJsonObject()}});
    QTest::newRow("own module text") << withOwnMenus(QJsonObject{{QStringLiteral("module"), "x"}});
}

void TestMenuModel::unusableBodyKeepsTheMenu()
{
    QFETCH(QByteArray, body);
    load(m_grouped);
    QSignalSpy updated(&m_item, &MenuItem::sigUpdateData);
    const QString before = m_item.getChildMenuLIst(401);
    QCOMPARE(load(body), groupedIds);
    QCOMPARE(m_item.getChildMenuLIst(401), before);
    QCOMPARE(updated.count(), 0);
    QCOMPARE(MenuModel::instance()->rowCount(), groupedIds.size());
}

void TestMenuModel::modelRoles()
{
    MenuModel *model = MenuModel::instance();
    QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    load(m_grouped);
    QCOMPARE(model->rowCount(), groupedIds.size());
    const QModelIndex first = model->index(0, 0);
    QCOMPARE(first.data(MenuModel::MenuIdRole).toString(), QStringLiteral("101"));
    QCOMPARE(first.data(MenuModel::MenuNameRole).toString(), QStringLiteral("公文管理"));
    QCOMPARE(first.data(Qt::DisplayRole).toString(), QStringLiteral("公文管理"));
    QCOMPARE(first.data(MenuModel::ChildCountRole).toInt(), 2);
    QCOMPARE(model->index(groupedIds.size() - 1, 0).data(MenuModel::MenuIdRole).toString(),
             QStringLiteral("402"));
    QCOMPARE(model->roleNames().value(MenuModel::MenuNameRole), QByteArray("menu_name"));

    load(m_own);
    QCOMPARE(model->rowCount(), ownIds.size());
    load(QByteArray("garbage"));
    QCOMPARE(model->rowCount(), ownIds.size());
    // A user the server gives no menus has none, rather than the previous user's.
    load(reply({}));
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(m_item.getMenuLIstId(), QList<int>());
    QVERIFY(!model->index(0, 0).isValid());
    load(m_grouped);
}

void TestMenuModel::readsDuringRefillFromAnotherThread()
{
    // The QR-code loader refills the menu from its own thread while the documents read it.
    load(m_grouped);
    QSignalSpy updated(&m_item, &MenuItem::sigUpdateData);
    std::atomic<bool> done{false};
    constexpr int refills = 400;
    std::thread loader([&] {
        for (int i = 0; i < refills; ++i)
            MenuModel::instance()->setMenuData(i % 2 ? m_grouped : m_own);
        done = true;
    });
    int reads = 0;
    int torn = 0;
    while (!done || reads == 0) {
        const QList<int> ids = m_item.getMenuLIstId();
        if (!(ids == groupedIds || ids == ownIds) ||
            items(m_item.getChildMenuLIst(101)).size() != 2 ||
            m_item.getMenuIdInfor(102, QStringLiteral("menu_name")) != QStringLiteral("流程中心"))
            ++torn;
        ++reads;
    }
    loader.join();
    QCOMPARE(torn, 0);
    QCOMPARE(m_item.getMenuLIstId(), groupedIds);
    // The rows follow on the model's thread and the documents hear of it there.
    QTRY_COMPARE(MenuModel::instance()->rowCount(), groupedIds.size());
    QTRY_COMPARE(updated.count(), refills);
}

void TestMenuModel::deepTree()
{
    // Menus below one another; each level nests the reply's JSON two deeper.
    const auto chain = [](int levels) {
        QJsonObject deepest = menu(1000000 + levels, QStringLiteral("底"));
        for (int level = levels - 1; level >= 1; --level)
            deepest = menu(1000000 + level, QStringLiteral("层"), {deepest});
        return deepest;
    };
    // 60 levels stay within what a reply may nest.
    QCOMPARE(load(groupedReply({chain(60)})), (QList<int>{1000001}));
    QJsonArray children = items(m_item.getChildMenuLIst(1000001));
    int depth = 1;
    while (!children.isEmpty()) {
        ++depth;
        children = children.at(0)[QLatin1String("item")].toArray();
    }
    QCOMPARE(depth, 60);
    // 300 are refused whole, and the menu shown before stays.
    load(m_grouped);
    QCOMPARE(load(groupedReply({chain(300)})), groupedIds);
}

TARNEX_TEST_MAIN(TestMenuModel)
#include "tst_menumodel.moc"
