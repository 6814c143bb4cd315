// The people search and the recent search terms under Qt's model checker: the search reply
// read once (real shapes, wrong types, a huge list, unreadable text), only the search asked
// last reporting, and the terms of each list kept in order apart from the other lists'.
#include "config/configfile.h"
#include "config/searchhistorymodel.h"
#include "directory/peoplesearchmodel.h"
#include "session/parameterinfor.h"
#include "testenvironment.h"
#include "json/jsondepth.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The reply as the server gives it, a row of each kind of trouble among the people.
const char *const realReply = R"({"list":[
  {"user_id":"10002","user_name":"李娜","dept_name":"研发部","position":"工程师",
   "phone_number":"13800000000","email":"lina@example.com",
   "roles":[{"role_name":"组长"},{"role_name":null},{},"x",{"role_name":"评审"}]},
  {"user_id":10003,"user_name":["x"],"dept_name":{},"roles":{}},
  {"user_name":"没有编号"},
  5, null, "10009",
  {"user_id":"10004","user_name":"王\u0007芳"}],"total":7})";

QStringList ids(const PeopleSearchModel &model)
{
    QStringList list;
    for (int i = 0; i < model.count(); ++i)
        list << model.row(i).userId;
    return list;
}

} // namespace

class TestPeopleSearch : public QObject
{
    Q_OBJECT
private slots:
    void repliesReadDefensively();
    void onlyTheLatestSearchReports();
    void visibleColleaguesAndCards();
    void historyKeepsOrderAndType();
};

void TestPeopleSearch::repliesReadDefensively()
{
    PeopleSearchModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(model.showReply(QString::fromUtf8(realReply)));
    QVERIFY(!model.failed());
    // Rows without an id are dropped; a name that is no text shows the id.
    QCOMPARE(ids(model), (QStringList{"10002", "10003", "10004"}));
    const QVariantMap first = model.get(0);
    QCOMPARE(first.value("userName").toString(), QStringLiteral("李娜"));
    QCOMPARE(first.value("deptName").toString(), QStringLiteral("研发部"));
    QCOMPARE(first.value("position").toString(), QStringLiteral("工程师"));
    QCOMPARE(first.value("roles").toString(), QStringLiteral("组长 评审"));
    QCOMPARE(model.row(1).userName, QStringLiteral("10003"));
    QCOMPARE(model.row(1).deptName, QString());
    QCOMPARE(model.row(2).userName, QStringLiteral("王芳"));
    QVERIFY(model.get(3).isEmpty());
    QVERIFY(model.person(-1).isEmpty());
    QCOMPARE(model.person(0).value("phone").toString(), QStringLiteral("13800000000"));

    // The bare list reads as well.
    QVERIFY(model.showReply(QStringLiteral(R"([{"user_id":"1"}])")));
    QCOMPARE(ids(model), QStringList{"1"});

    // Replies that hold no list: an empty result marked as failed.
    const QString deep = QString(JsonDepth::limit + 8, QLatin1Char('[')) +
                         QString(JsonDepth::limit + 8, QLatin1Char(']'));
    for (const QString &bad :
         {QString(), QStringLiteral("errors"), QStringLiteral(R"({"list":{"user_id":"1"}})"),
          QStringLiteral(R"({"list":[{"user_id":"1"}])"), QStringLiteral("7"), deep}) {
        QVERIFY(model.showReply(QStringLiteral(R"([{"user_id":"1"}])")));
        QVERIFY2(!model.showReply(bad), qPrintable(bad.left(40)));
        QVERIFY(model.failed());
        QCOMPARE(model.count(), 0);
    }

    // A huge answer shows the first rows only; one beyond the size limit is not read.
    QString huge = QStringLiteral("{\"list\":[");
    for (int i = 0; i < 5000; ++i)
        huge += QStringLiteral(R"({"user_id":%1,"user_name":"u%1"},)").arg(i);
    huge += QStringLiteral("{}]}");
    QVERIFY(model.showReply(huge));
    QCOMPARE(model.count(), PeopleSearchModel::maxRows);
    QCOMPARE(model.row(PeopleSearchModel::maxRows - 1).userName,
             QStringLiteral("u%1").arg(PeopleSearchModel::maxRows - 1));
    QString padded = QStringLiteral(R"({"list":[{"user_id":"1"}],"pad":")");
    padded += QString(PeopleSearchModel::maxReplyBytes, QLatin1Char('x')) + QStringLiteral("\"}");
    QVERIFY(!model.showReply(padded));
    QCOMPARE(model.count(), 0);

    // Online marks follow the session, and change only the rows they concern.
    QVERIFY(model.showReply(QString::fromUtf8(realReply)));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setOnline({QStringLiteral("10003"), QStringLiteral("nobody")}, true);
    model.setOnline({QStringLiteral("10003")}, true);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
    QVERIFY(model.get(1).value("online").toBool());
    QVERIFY(!model.get(0).value("online").toBool());
}

void TestPeopleSearch::onlyTheLatestSearchReports()
{
    PeopleSearchModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy finished(&model, &PeopleSearchModel::finished);

    // Nothing asked: an answer is stale.
    model.answer(QString::fromUtf8(realReply));
    QCOMPARE(model.count(), 0);
    QCOMPARE(finished.count(), 0);

    model.search(QStringLiteral("  li  "));
    QVERIFY(model.searching());
    QCOMPARE(model.pending(), QStringLiteral("li"));
    model.answer(QString::fromUtf8(realReply));
    QVERIFY(!model.searching());
    QCOMPARE(model.searchText(), QStringLiteral("li"));
    QCOMPARE(model.count(), 3);
    QCOMPARE(finished.count(), 1);

    // Cleared while asking: the late answer (the finder's own, or any) is dropped.
    model.search(QStringLiteral("wang"));
    model.search(QStringLiteral(" "));
    QVERIFY(!model.searching());
    QCOMPARE(model.searchText(), QString());
    QCOMPARE(model.count(), 0);
    model.answer(QString::fromUtf8(realReply));
    QCOMPARE(model.count(), 0);
    QCOMPARE(finished.count(), 1);

    // A failed search reports, and the next one starts without the failure.
    model.search(QStringLiteral("x"));
    model.answer(QString());
    QVERIFY(model.failed());
    QCOMPARE(finished.count(), 2);
    model.search(QStringLiteral("y"));
    QVERIFY(!model.failed());
}

void TestPeopleSearch::visibleColleaguesAndCards()
{
    ParameterInfor *parameters = ParameterInfor::instance();
    parameters->setUserId(QStringLiteral("10001"));
    parameters->clearVisibleUsers();
    PeopleSearchModel model;
    model.setVisibleOnly(true);
    // Until the visible list holds the user, everyone may be seen.
    QVERIFY(PeopleSearchModel::mayShow(QStringLiteral("10003")));
    model.showReply(QString::fromUtf8(realReply));
    QCOMPARE(model.count(), 3);

    parameters->insertVisibleUser(QStringLiteral("10001"));
    parameters->insertVisibleUser(QStringLiteral("10004"));
    QVERIFY(!PeopleSearchModel::mayShow(QStringLiteral("10003")));
    model.showReply(QString::fromUtf8(realReply));
    QCOMPARE(ids(model), QStringList{"10004"});
    PeopleSearchModel everyone;
    everyone.showReply(QString::fromUtf8(realReply));
    QCOMPARE(everyone.count(), 3);
    parameters->clearVisibleUsers();

    // A tree row's card text; text that is no card keeps the row's own name and the company.
    const QVariantMap card = PeopleSearchModel::treePerson(
        QStringLiteral("10002"), QStringLiteral("row"),
        QStringLiteral(R"({"user_name":"李娜","dept_name":["x"],"role_name":"组长",)"
                       R"("phone_number":"1","email":"e","commpanyName":"晨星"})"),
        QStringLiteral("fallback"));
    QCOMPARE(card.value("name").toString(), QStringLiteral("李娜"));
    QCOMPARE(card.value("dept").toString(), QString());
    QCOMPARE(card.value("roles").toString(), QStringLiteral("组长"));
    QCOMPARE(card.value("company").toString(), QStringLiteral("晨星"));
    const QVariantMap bare =
        PeopleSearchModel::treePerson(QStringLiteral("10002"), QStringLiteral("row"),
                                      QStringLiteral("[1"), QStringLiteral("fallback"));
    QCOMPARE(bare.value("name").toString(), QStringLiteral("row"));
    QCOMPARE(bare.value("company").toString(), QStringLiteral("fallback"));
    QCOMPARE(bare.value("userId").toString(), QStringLiteral("10002"));
}

void TestPeopleSearch::historyKeepsOrderAndType()
{
    QTemporaryDir base;
    ConfigFile *store = ConfigFile::resetForTests(base.path());
    store->setMainConfig(QStringLiteral("currentServerIp"), QStringLiteral("http://oa.test"));
    SearchHistoryModel organisation;
    QAbstractItemModelTester tester(&organisation,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    organisation.setSearchTypes(QStringLiteral("1"));
    SearchHistoryModel conversations;

    organisation.add(QStringLiteral("  a/b\\c "));
    organisation.add(QStringLiteral("lina"));
    organisation.add(QStringLiteral("   "));
    conversations.add(QStringLiteral("report"));
    QCOMPARE(organisation.terms(), (QStringList{"lina", "a b c"}));
    QCOMPARE(conversations.terms(), QStringList{"report"});

    // Searched again: on top, once; the other rows are moved, not rebuilt.
    QSignalSpy reset(&organisation, &QAbstractItemModel::modelReset);
    organisation.add(QStringLiteral("a b c"));
    QCOMPARE(organisation.terms(), (QStringList{"a b c", "lina"}));
    QCOMPARE(organisation.termAt(1), QStringLiteral("lina"));
    QCOMPARE(organisation.get(0).value("term").toString(), QStringLiteral("a b c"));
    QVERIFY(organisation.termAt(2).isEmpty());

    // A term searched in another list moves to that list's history.
    conversations.add(QStringLiteral("lina"));
    organisation.reload();
    QCOMPARE(organisation.terms(), QStringList{"a b c"});
    QCOMPARE(conversations.terms(), (QStringList{"lina", "report"}));

    QSignalSpy counted(&organisation, &SearchHistoryModel::countChanged);
    organisation.reload();
    QCOMPARE(counted.count(), 0);
    organisation.clear();
    QCOMPARE(organisation.count(), 0);
    conversations.reload();
    QCOMPARE(conversations.terms(), (QStringList{"lina", "report"}));
    conversations.remove(QStringLiteral("report"));
    QCOMPARE(conversations.terms(), QStringList{"lina"});
    QCOMPARE(reset.count(), 0);
}

TARNEX_TEST_MAIN(TestPeopleSearch)
#include "tst_peoplesearch.moc"
