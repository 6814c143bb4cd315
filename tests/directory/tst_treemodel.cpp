#include "directorytestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "directory/handlorganization.h"
#include "directory/qtreemodel.h"
#include "directory/treeitem.h"
#include "directory/treerowsmodel.h"

#include <QAbstractItemModelTester>
#include <QJSEngine>
#include <QJsonDocument>
#include <QPersistentModelIndex>
#include <QtTest>

#include <memory>

using namespace directorytest;

namespace {

struct Walk
{
    QStringList users;
    int departments = 0;
};

// Walks the shown tree below `parent`: user nodes carry a card, department nodes none.
void walk(const QAbstractItemModel &model, const QModelIndex &parent, Walk &seen)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (model.data(index, QTreeModel::NodeNameInforRole).toString().isEmpty()) {
            ++seen.departments;
            walk(model, index, seen);
        } else {
            seen.users << model.data(index, QTreeModel::NodeNameRole).toString();
        }
    }
}

void collectUsers(const QList<MemberRecord *> &records, QList<const MemberRecord *> &users,
                  int &departments)
{
    for (const MemberRecord *record : records) {
        if (record->isDepartment()) {
            ++departments;
            collectUsers(record->children, users, departments);
        } else {
            users << record;
        }
    }
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestTreeModel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void userCard_data();
    void userCard();
    void emptyBeforeBuild();
    void departmentTree();
    void roleTree();
    void otherChoiceChangesNothing();
    void findDepth_data();
    void findDepth();
    void findRoles_data();
    void findRoles();
    void rebuildWhileShown();
    void visibleRowsOpenAndClose();
    void deepChainIsTakenApartWithoutRecursion();
    void deepChainIsBuiltWithoutRecursion();

private:
    QModelIndex top() const { return m_model->index(0, 0); }
    QStringList columnsOf(const QModelIndex &index) const
    {
        return {m_model->data(index, QTreeModel::NodeSelectStateRole).toString(),
                m_model->data(index, QTreeModel::NodeNameRole).toString(),
                m_model->data(index, QTreeModel::NodeNameInforRole).toString()};
    }
    QModelIndex childNamed(const QModelIndex &parent, const QString &name) const
    {
        const QModelIndexList found = m_model->match(
            m_model->index(0, 0, parent), QTreeModel::NodeNameRole, name, 1, Qt::MatchExactly);
        return found.value(0);
    }

    ReferenceServer m_server;
    QList<const MemberRecord *> m_users;
    int m_departments = 0;
    std::unique_ptr<QTreeModel> m_model;
};

void TestTreeModel::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signIn(m_server));
    HandlOrganization *loader = HandlOrganization::gestance();
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(completion.wait(40000));
    collectUsers(loader->memberList(), m_users, m_departments);
    QVERIFY(m_users.size() >= 40);
}

void TestTreeModel::init()
{
    // Built after the announcement: it holds nothing until told to build.
    m_model = std::make_unique<QTreeModel>();
    new QAbstractItemModelTester(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest, m_model.get());
}

void TestTreeModel::cleanup()
{
    m_model.reset();
}

void TestTreeModel::userCard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("roles");
    QTest::newRow("plain") << QStringLiteral("张伟") << QStringList{QStringLiteral("部门经理")};
    QTest::newRow("two roles, each with a blank")
        << QStringLiteral("a") << QStringList{QStringLiteral("甲"), QStringLiteral("乙")};
    QTest::newRow("no roles") << QString() << QStringList();
    QTest::newRow("quotes and backslashes")
        << QStringLiteral("say \"hi\" \\ C:\\path/x") << QStringList{QStringLiteral("\"")};
    QTest::newRow("control characters")
        << QString::fromUtf8("a\tb\nc\rd\be\ff\x01g\x1fh\x7f") << QStringList{QStringLiteral("\t")};
    QTest::newRow("outside the basic plane") << QString::fromUtf8("😀 𠀋") << QStringList();
    QTest::newRow("unpaired surrogates")
        << (QString(QChar(0xd83d)) + QStringLiteral("x") + QChar(0xde00)) << QStringList();
}

// The card is written by hand for speed; it must read exactly like the JSON writer's output.
void TestTreeModel::userCard()
{
    QFETCH(QString, text);
    QFETCH(QStringList, roles);
    MemberRecord user;
    user.user_name = text;
    user.dept_name = QStringLiteral("部门") + text;
    user.email = text + QStringLiteral("@x");
    user.phone_number = QStringLiteral("138");
    std::vector<std::unique_ptr<RoleRecord>> owned;
    QString roleNames;
    for (const QString &name : qAsConst(roles)) {
        owned.push_back(std::make_unique<RoleRecord>());
        owned.back()->role_name = name;
        user.roles << owned.back().get();
        roleNames += name + QLatin1Char(' ');
    }
    const QJsonObject card{{QStringLiteral("user_name"), user.user_name},
                           {QStringLiteral("dept_name"), user.dept_name},
                           {QStringLiteral("email"), user.email},
                           {QStringLiteral("phone_number"), user.phone_number},
                           {QStringLiteral("commpanyName"), text + QStringLiteral("公司")},
                           {QStringLiteral("address"), QStringLiteral("杭州")},
                           {QStringLiteral("zipCode"), text},
                           {QStringLiteral("role_name"), roleNames}};
    QString expected = QString::fromUtf8(QJsonDocument(card).toJson(QJsonDocument::Indented));
    expected.remove(QLatin1Char('\n'));
    expected.remove(QLatin1Char('\t'));
    const QString written = QTreeModel::userInforText(user, text + QStringLiteral("公司"),
                                                      QStringLiteral("杭州"), text);
    QCOMPARE(written, expected);
    QJsonParseError error{};
    QVERIFY(QJsonDocument::fromJson(written.toUtf8(), &error).isObject());
}

void TestTreeModel::emptyBeforeBuild()
{
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(m_model->columnCount(), 0);
    QVERIFY(!m_model->index(0, 0).isValid());
    m_model->reLoadData(QStringLiteral("2"));
    QCOMPARE(m_model->rowCount(), 0);
    QCOMPARE(m_model->columnCount(), 2);
    QCOMPARE(m_model->model(), m_model.get());
}

void TestTreeModel::departmentTree()
{
    m_model->onSigHandlCompletion();
    QSignalSpy reset(m_model.get(), &QAbstractItemModel::modelReset);
    m_model->reLoadData(QStringLiteral("2"));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(m_model->rowCount(), 1);
    const HandlOrganization *loader = HandlOrganization::gestance();
    QCOMPARE(columnsOf(top()),
             QStringList({QStringLiteral("0"), loader->companyName(), QString()}));

    Walk seen;
    walk(*m_model, top(), seen);
    QCOMPARE(seen.departments, m_departments);
    QStringList names;
    for (const MemberRecord *user : qAsConst(m_users))
        names << user->user_name;
    QCOMPARE(sorted(seen.users), sorted(names));

    const QModelIndex research = childNamed(top(), QStringLiteral("技术研发部"));
    QCOMPARE(m_model->data(research, QTreeModel::NodeSelectStateRole).toString(),
             QStringLiteral("2"));
    const QModelIndex zhang = childNamed(research, QStringLiteral("张伟"));
    QCOMPARE(m_model->parent(zhang), research);
    QCOMPARE(m_model->data(zhang, QTreeModel::NodeSelectStateRole).toString(),
             QStringLiteral("10001"));
    const QJsonObject card =
        QJsonDocument::fromJson(
            m_model->data(zhang, QTreeModel::NodeNameInforRole).toString().toUtf8())
            .object();
    const QJsonObject expected{
        {QStringLiteral("user_name"), QStringLiteral("张伟")},
        {QStringLiteral("dept_name"), QStringLiteral("技术研发部")},
        {QStringLiteral("email"), QStringLiteral("zhangwei@xinghe-oa.example")},
        {QStringLiteral("phone_number"), QStringLiteral("13800010001")},
        {QStringLiteral("commpanyName"), loader->companyName()},
        {QStringLiteral("address"), loader->address()},
        {QStringLiteral("zipCode"), loader->zipCode()},
        {QStringLiteral("role_name"), QStringLiteral("部门经理 系统管理员 ")}};
    QCOMPARE(card, expected);

    QCOMPARE(m_model->data(zhang, 300).toString(), QStringLiteral("a1"));
    QCOMPARE(m_model->data(zhang, Qt::UserRole).toString(), QStringLiteral("a1"));
    QVERIFY(!m_model->data(zhang, Qt::DisplayRole).isValid());
    QCOMPARE(m_model->flags(zhang), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(m_model->roleNames(),
             (QHash<int, QByteArray>{
                 {257, "nodeSelectState"}, {258, "nodeName"}, {259, "NodeNameInfor"}}));
}

void TestTreeModel::roleTree()
{
    m_model->onSigHandlCompletion();
    m_model->reLoadData(QStringLiteral("1"));
    const QMultiMap<QString, MemberRecord *> index = HandlOrganization::gestance()->roleIndex();
    const QStringList keys = index.uniqueKeys();
    QCOMPARE(m_model->rowCount(top()), keys.size());
    for (int row = 0; row < m_model->rowCount(top()); ++row) {
        const QModelIndex role = m_model->index(row, 0, top());
        const QString name = m_model->data(role, QTreeModel::NodeNameRole).toString();
        QCOMPARE(m_model->data(role, QTreeModel::NodeSelectStateRole).toString(),
                 QStringLiteral("0"));
        const QList<MemberRecord *> holders = index.values(name);
        QCOMPARE(m_model->rowCount(role), holders.size());
        // In the index's order for equal keys.
        for (int user = 0; user < holders.size(); ++user)
            QCOMPARE(m_model->data(m_model->index(user, 0, role), QTreeModel::NodeSelectStateRole)
                         .toString(),
                     holders.at(user)->user_id);
    }
    // A user with three roles is under each of them.
    for (const QString &role :
         {QStringLiteral("部门经理"), QStringLiteral("项目经理"), QStringLiteral("系统管理员")})
        QVERIFY(childNamed(childNamed(top(), role), QStringLiteral("彭博")).isValid());
}

void TestTreeModel::otherChoiceChangesNothing()
{
    m_model->onSigHandlCompletion();
    m_model->reLoadData(QStringLiteral("2"));
    const int rows = m_model->rowCount(top());
    QSignalSpy reset(m_model.get(), &QAbstractItemModel::modelReset);
    m_model->reLoadData(QStringLiteral("3"));
    m_model->reLoadData(QString());
    QCOMPARE(reset.count(), 0);
    QCOMPARE(m_model->rowCount(top()), rows);
}

void TestTreeModel::findDepth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("surname") << QStringLiteral("张")
                             << QStringList{QStringLiteral("张伟"), QStringLiteral("张敏")};
    QTest::newRow("whole name") << QStringLiteral("谢婷婷")
                                << QStringList{QStringLiteral("谢婷婷")};
    QTest::newRow("nobody") << QStringLiteral("不存在") << QStringList();
    QTest::newRow("pinyin is not a name") << QStringLiteral("zhang") << QStringList();
}

void TestTreeModel::findDepth()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    m_model->onSigHandlCompletion();
    QSignalSpy reset(m_model.get(), &QAbstractItemModel::modelReset);
    m_model->findDepth(text);
    QCOMPARE(reset.count(), 1);
    Walk seen;
    walk(*m_model, top(), seen);
    QCOMPARE(sorted(seen.users), sorted(expected));
    // Every department stays, also without matching users.
    QCOMPARE(seen.departments, m_departments);

    m_model->findDepth(QString());
    Walk all;
    walk(*m_model, top(), all);
    QCOMPARE(all.users.size(), m_users.size());
}

void TestTreeModel::findRoles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("roles");
    QTest::newRow("surname") << QStringLiteral("张")
                             << QStringList{QStringLiteral("普通员工"),
                                            QStringLiteral("系统管理员"),
                                            QStringLiteral("部门经理")};
    QTest::newRow("nobody") << QStringLiteral("不存在") << QStringList();
}

void TestTreeModel::findRoles()
{
    QFETCH(QString, text);
    QFETCH(QStringList, roles);
    m_model->onSigHandlCompletion();
    m_model->findRoles(text);
    QCOMPARE(m_model->rowCount(), 1);
    QStringList seen;
    for (int row = 0; row < m_model->rowCount(top()); ++row) {
        const QModelIndex role = m_model->index(row, 0, top());
        seen << m_model->data(role, QTreeModel::NodeNameRole).toString();
        QVERIFY(m_model->rowCount(role) > 0);
        for (int user = 0; user < m_model->rowCount(role); ++user)
            QVERIFY(m_model->data(m_model->index(user, 0, role), QTreeModel::NodeNameRole)
                        .toString()
                        .contains(text));
    }
    QCOMPARE(sorted(seen), sorted(roles));
}

void TestTreeModel::rebuildWhileShown()
{
    m_model->onSigHandlCompletion();
    m_model->reLoadData(QStringLiteral("2"));
    Walk before;
    walk(*m_model, top(), before);
    // A new load rebuilds the trees behind the view's back; the shown one stays readable. The
    // model says it is loading until its trees hold the new organisation.
    HandlOrganization *loader = HandlOrganization::gestance();
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    QSignalSpy loadingChanges(m_model.get(), &QTreeModel::loadingChanged);
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(m_model->loading());
    QVERIFY(completion.wait(40000));
    // The trees are built on the pool, and handed over afterwards.
    QTRY_COMPARE_WITH_TIMEOUT(loadingChanges.count(), 2, 20000);
    QVERIFY(!m_model->loading());
    Walk still;
    walk(*m_model, top(), still);
    QCOMPARE(still.users, before.users);
    m_model->reLoadData(QStringLiteral("2"));
    m_model->findDepth(QStringLiteral("王"));
    m_model->reLoadData(QStringLiteral("1"));
    // The trees built behind the view hold the whole organisation.
    Walk after;
    m_model->reLoadData(QStringLiteral("2"));
    walk(*m_model, top(), after);
    QCOMPARE(sorted(after.users), sorted(before.users));
    QCOMPARE(after.users.size(), m_users.size());
}

// A server may nest departments as deep as it likes; a chain of a million levels must not
// exhaust the stack when its tree goes.
void TestTreeModel::deepChainIsTakenApartWithoutRecursion()
{
    auto *root = new TreeItem({QStringLiteral("0")});
    TreeItem *deepest = root;
    for (int level = 0; level < 1000000; ++level) {
        auto *next = new TreeItem({QString::number(level)});
        deepest->appendChild(next);
        deepest = next;
    }
    QCOMPARE(deepest->parentItem()->childCount(), 1);
    delete root;
}

// The same chain as departments from the server: the trees are built and searched with lists of
// their own, not the stack.
void TestTreeModel::deepChainIsBuiltWithoutRecursion()
{
    constexpr int levels = 1000000;
    QList<MemberRecord *> chain;
    MemberRecord *parent = nullptr;
    for (int level = 0; level < levels; ++level) {
        auto *department = new MemberRecord;
        department->dept_id = QString::number(900000 + level);
        department->dept_name = QStringLiteral("层级");
        (parent ? parent->children : chain).append(department);
        parent = department;
    }
    auto *user = new MemberRecord;
    user->user_id = QStringLiteral("99999");
    user->user_name = QStringLiteral("最深处");
    parent->children.append(user);

    HandlOrganization *loader = HandlOrganization::gestance();
    const QList<MemberRecord *> loaded = loader->swapMembersForTests(chain);
    m_model->onSigHandlCompletion();
    m_model->reLoadData(QStringLiteral("2"));
    QCOMPARE(m_model->rowCount(top()), 1);
    m_model->findDepth(QStringLiteral("最深处"));
    QCOMPARE(m_model->rowCount(top()), 1);
    // Back to the loaded organisation; the deep trees go with the model.
    loader->swapMembersForTests(loaded);
    m_model.reset();

    QList<MemberRecord *> pending = chain;
    while (!pending.isEmpty()) {
        MemberRecord *record = pending.takeLast();
        pending.append(record->children);
        delete record;
    }
}

// The tree as a list of the rows that can be seen: opening inserts the children below their
// node and closing removes them (never a reset), hidden people are no rows, and opening
// everything below a node stops near its limit.
void TestTreeModel::visibleRowsOpenAndClose()
{
    m_model->onSigHandlCompletion();
    m_model->reLoadData(QStringLiteral("2"));
    TreeRowsModel rows;
    QAbstractItemModelTester tester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy reset(&rows, &QAbstractItemModel::modelReset);
    // Without a tree there is nothing to load, and the rows still want one.
    QVERIFY(!rows.reloadTree());
    QVERIFY(rows.isBare());
    rows.setTree(m_model.get());
    rows.rebuild();
    QVERIFY(!rows.isBare());
    QCOMPARE(rows.get(0).value("kind").toString(), QStringLiteral("company"));
    QVERIFY(rows.get(0).value("expanded").toBool());
    const int shown = 1 + m_model->rowCount(top());
    QCOMPARE(rows.count(), shown);
    const int research = rows.rowNamed(QStringLiteral("department"), QStringLiteral("技术研发部"));
    QVERIFY(research > 0);
    QCOMPARE(rows.parentRow(research), 0);
    const int below = m_model->rowCount(childNamed(top(), QStringLiteral("技术研发部")));
    QVERIFY(below > 1);
    QCOMPARE(rows.get(research).value("count").toInt(), below);

    const QPersistentModelIndex node(rows.index(research));
    const QPersistentModelIndex last(rows.index(shown - 1));
    rows.expand(research);
    QCOMPARE(rows.count(), shown + below);
    QCOMPARE(node.row(), research);
    QCOMPARE(last.row(), shown - 1 + (research < shown - 1 ? below : 0));
    const int zhang = rows.rowOfPerson(QStringLiteral("10001"));
    QCOMPARE(rows.parentRow(zhang), research);
    QCOMPARE(rows.get(zhang).value("depth").toInt(), 2);
    QCOMPARE(rows.get(zhang).value("kind").toString(), QStringLiteral("person"));
    QVERIFY(!rows.isOpenable(zhang));
    QVERIFY(rows.personInfor(zhang).contains(QStringLiteral("zhangwei@xinghe-oa.example")));
    QCOMPARE(rows.subtreeEnd(research), research + 1 + below);
    // Closing: a current row inside gives way to the department, one elsewhere stays.
    QVERIFY(rows.isExpanded(research));
    QCOMPARE(rows.currentAfterCollapse(research, zhang), research);
    QCOMPARE(rows.currentAfterCollapse(research, research), research);
    QCOMPARE(rows.currentAfterCollapse(research, 0), 0);
    QCOMPARE(rows.currentAfterCollapse(research, research + 1 + below), research + 1 + below);
    rows.toggle(research);
    QVERIFY(!rows.isExpanded(research));
    QVERIFY(!rows.isExpanded(-1));
    QCOMPARE(rows.count(), shown);
    QCOMPARE(rows.rowOfPerson(QStringLiteral("10001")), -1);
    QVERIFY(!rows.get(research).value("expanded").toBool());

    QJSEngine engine;
    rows.setPersonFilter(
        engine.evaluate(QStringLiteral("(function(id) { return id !== '10001' })")));
    rows.expand(research);
    QCOMPARE(rows.count(), shown + below - 1);
    QCOMPARE(rows.rowOfPerson(QStringLiteral("10001")), -1);
    rows.collapseAll();
    QCOMPARE(rows.count(), shown);
    QVERIFY(!rows.expandAllBelow(-1, 100000));
    QVERIFY(!rows.expandAllBelow(rows.count(), 100000));
    QCOMPARE(rows.count(), shown);
    QVERIFY(rows.expandAllBelow(0, shown + 2));
    QVERIFY(rows.count() >= shown + 2);
    QVERIFY(rows.count() < 1 + m_departments + m_users.size() - 1);
    rows.expandAllBelow(0, 100000);
    QCOMPARE(rows.count(), 1 + m_departments + m_users.size() - 1);

    // The role tree: roles by name below the company.
    m_model->reLoadData(QStringLiteral("1"));
    rows.setTreeTypes(QStringLiteral("1"));
    rows.rebuild();
    QCOMPARE(rows.get(1).value("kind").toString(), QStringLiteral("role"));
    for (int i = 2; i < rows.count(); ++i)
        QVERIFY(QString::localeAwareCompare(rows.get(i - 1).value("name").toString(),
                                            rows.get(i).value("name").toString()) <= 0);
    // Back to the department tree in one step, its top node open.
    rows.setTreeTypes(QStringLiteral("2"));
    QVERIFY(rows.reloadTree());
    QCOMPARE(rows.count(), shown);
    QCOMPARE(rows.get(research).value("name").toString(), QStringLiteral("技术研发部"));
    QCOMPARE(reset.count(), 0);
}

TARNEX_TEST_MAIN(TestTreeModel)
#include "tst_treemodel.moc"
