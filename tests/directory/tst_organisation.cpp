#include "directorytestkit.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "directory/getcompany.h"
#include "directory/handlorganization.h"
#include "directory/loadpersonnel.h"
#include "directory/loadpersonnelinfor.h"
#include "net/requestwait.h"
#include "net/serverrequest.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThreadPool>
#include <QtTest>

using namespace directorytest;

namespace {

void collect(const QList<MemberRecord *> &records, QList<MemberRecord *> &users,
             QList<MemberRecord *> &departments, int depth, int &maxDepth)
{
    maxDepth = qMax(maxDepth, depth);
    for (MemberRecord *record : records) {
        if (record->isDepartment()) {
            departments << record;
            collect(record->children, users, departments, depth + 1, maxDepth);
        } else {
            users << record;
        }
    }
}

MemberRecord *byName(const QList<MemberRecord *> &records, const QString &name)
{
    for (MemberRecord *record : records) {
        if (record->dept_name == name && record->isDepartment())
            return record;
        if (record->user_name == name && !record->isDepartment())
            return record;
    }
    return nullptr;
}

} // namespace

// The organisation loader is process-wide, so the cases share its state; each load replaces
// the previous one.
class TestOrganisation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void loadsTheWholeOrganisationOnce();
    void secondLoadReplacesTheFirst();
    void loadRequestedWhileLoadingIsIgnored();
    void failedRootKeepsTheOrganisation_data();
    void failedRootKeepsTheOrganisation();
    void silentRootLeavesTheCallerFree();
    void failedDepartmentStillCompletes_data();
    void failedDepartmentStillCompletes();
    void departmentListedBelowItselfEnds();

    void companyName();
    void companyBadReplies_data();
    void companyBadReplies();

    void personnelIndex();
    void personnelBadReplies_data();
    void personnelBadReplies();
    void personnelLaterEntryWins();

private:
    // Emits the load of the root from this thread and waits for its completion.
    void loadRoot(QSignalSpy &completion);
    void loadNextAfter(QSignalSpy &completion, int earlier);
    QJsonObject serverData(const QString &path, const QByteArray &postBody = QByteArray());

    ReferenceServer m_server;
    QStringList m_userIds;
};

void TestOrganisation::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.output()));
    QVERIFY(signIn(m_server));
    const QJsonArray users =
        serverData(QStringLiteral("api/user/users"), "communicate_type=sms&search=%7B%7D")
            .value(QLatin1String("list"))
            .toArray();
    for (const QJsonValue &user : users)
        m_userIds << user.toObject().value(QLatin1String("user_id")).toString();
    QVERIFY(m_userIds.size() >= 40);
}

void TestOrganisation::cleanup()
{
    resetServer(m_server);
    RequestWait::directory().setLimitMs(ServerRequest::dataWaitMs);
}

QJsonObject TestOrganisation::serverData(const QString &path, const QByteArray &postBody)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = fetch(manager, path, postBody);
    const ReplyEnvelope envelope = ReplyEnvelope::fromReply(reply);
    delete reply;
    return envelope.dataObject();
}

void TestOrganisation::loadNextAfter(QSignalSpy &completion, int earlier)
{
    // The next load completes once its last reply is filed, after anything an earlier load
    // could have left queued; a completion left over from before shows as one too many.
    HandlOrganization *loader = HandlOrganization::gestance();
    // A load still running from before would swallow this request and complete in its place.
    QVERIFY(!loader->getRunStatus());
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(loader->getRunStatus());
    QTRY_VERIFY_WITH_TIMEOUT(!loader->getRunStatus(), 40000);
    QCoreApplication::processEvents();
    QCOMPARE(completion.count(), earlier + 1);
}

void TestOrganisation::loadRoot(QSignalSpy &completion)
{
    emit HandlOrganization::gestance()->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(completion.wait(40000));
}

void TestOrganisation::loadsTheWholeOrganisationOnce()
{
    HandlOrganization *loader = HandlOrganization::gestance();
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    QVERIFY(!loader->getRunStatus());
    loader->start();
    QVERIFY(loader->getRunStatus());
    QVERIFY(completion.wait(40000));
    QVERIFY(!loader->getRunStatus());
    // Neither the thread body nor a late timer announces the same load again: the thread has
    // ended and what it queued has run (a late timer is caught by the next load's count).
    QVERIFY(loader->wait(5000));
    QCoreApplication::processEvents();
    QCOMPARE(completion.count(), 1);
    QVERIFY(!loader->getRunStatus());

    QList<MemberRecord *> users;
    QList<MemberRecord *> departments;
    int depth = 0;
    collect(loader->memberList(), users, departments, 0, depth);
    QStringList ids;
    for (const MemberRecord *user : qAsConst(users))
        ids << user->user_id;
    ids.sort();
    QStringList expected = m_userIds;
    expected.sort();
    QCOMPARE(ids, expected);
    QVERIFY(depth >= 3);

    // Departments come first, then the users, in the server's order.
    const QList<MemberRecord *> top = loader->memberList();
    QVERIFY(top.first()->isDepartment());
    QVERIFY(!top.last()->isDepartment());
    MemberRecord *research = byName(top, QStringLiteral("技术研发部"));
    QVERIFY(research);
    QCOMPARE(research->dept_id + research->parent_id, QStringLiteral("20"));
    QCOMPARE(research->has_children, QString::number(research->children.size()));
    MemberRecord *zhang = byName(research->children, QStringLiteral("张伟"));
    QVERIFY(zhang);
    QCOMPARE(QStringList({zhang->user_id, zhang->dept_name, zhang->phone_number,
                          zhang->roles.at(0)->role_id, zhang->roles.at(1)->role_name}),
             QStringList({"10001", "技术研发部", "13800010001", "2", "系统管理员"}));
    // Texts a user does not have are empty, never null.
    QVERIFY(zhang->dept_id.isEmpty() && !zhang->dept_id.isNull());

    // Every user at every level is indexed once per role held.
    const QMultiMap<QString, MemberRecord *> index = loader->roleIndex();
    const QJsonArray roles = serverData(QStringLiteral("api/role?page=0&response=data"))
                                 .value(QLatin1String("list"))
                                 .toArray();
    int entries = 0;
    for (const QJsonValue &value : roles) {
        const QJsonObject role = value.toObject();
        const int holders = role.value(QLatin1String("user_count")).toInt();
        entries += holders;
        QCOMPARE(index.count(role.value(QLatin1String("role_name")).toString()), holders);
    }
    QCOMPARE(index.size(), entries);
    MemberRecord *director = byName(research->children, QStringLiteral("彭博"));
    QVERIFY(director);
    QCOMPARE(director->roles.size(), 3);
    for (const RoleRecord *role : qAsConst(director->roles))
        QVERIFY(index.values(role->role_name).contains(director));

    QCOMPARE(loader->companyName(), QStringLiteral("星河协同科技有限公司"));
    QVERIFY(!loader->address().isEmpty());
    QVERIFY(!loader->zipCode().isEmpty());
}

void TestOrganisation::secondLoadReplacesTheFirst()
{
    HandlOrganization *loader = HandlOrganization::gestance();
    const int topCount = loader->memberList().size();
    const int indexCount = loader->roleIndex().size();
    QVERIFY(topCount > 0);
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    loadRoot(completion);
    QCOMPARE(loader->memberList().size(), topCount);
    QCOMPARE(loader->roleIndex().size(), indexCount);

    // The records of the first load were given back: a third load holds no more than the second.
    const int live = MemberRecord::liveCount();
    loadNextAfter(completion, 1);
    QCOMPARE(MemberRecord::liveCount(), live);
}

void TestOrganisation::loadRequestedWhileLoadingIsIgnored()
{
    HandlOrganization *loader = HandlOrganization::gestance();
    const int topCount = loader->memberList().size();
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    // The load has only just asked for the root when the second request comes.
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(loader->getRunStatus());
    emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
    QVERIFY(completion.wait(40000));
    QVERIFY(!loader->getRunStatus());
    QCOMPARE(completion.count(), 1);
    QCOMPARE(loader->memberList().size(), topCount);
    // An ignored request that ran later after all would show as one completion too many.
    loadNextAfter(completion, 1);
}

void TestOrganisation::failedRootKeepsTheOrganisation_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("not JSON") << "garbage" << QByteArray();
    QTest::newRow("status 0 with errors") << "status0" << QByteArray();
    QTest::newRow("status 0, empty errors") << "raw" << QByteArray(R"({"status":0,"errors":[]})");
    QTest::newRow("data is an array") << "raw" << QByteArray(R"({"status":1,"data":[1,2]})");
    QTest::newRow("data without members") << "raw" << QByteArray(R"({"status":1,"data":{}})");
    QTest::newRow("members of the wrong kind")
        << "raw" << QByteArray(R"({"status":1,"data":{"dept":{"dept_id":1},"user":"x"}})");
    QTest::newRow("silent server") << "silent" << QByteArray();
}

void TestOrganisation::failedRootKeepsTheOrganisation()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    HandlOrganization *loader = HandlOrganization::gestance();
    const QList<MemberRecord *> before = loader->memberList();
    const int indexCount = loader->roleIndex().size();
    QVERIFY(!before.isEmpty());
    RequestWait::directory().setLimitMs(1500);
    setMode(m_server, QStringLiteral("members"), mode, body);
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    QElapsedTimer clock;
    clock.start();
    loadRoot(completion);
    // The load completes once the failed reply is in, with what was known before.
    QVERIFY(clock.elapsed() < 1500 + 3000);
    QCOMPARE(completion.count(), 1);
    QCOMPARE(loader->memberList(), before);
    QCOMPARE(loader->roleIndex().size(), indexCount);
    QVERIFY(!loader->getRunStatus());
}

void TestOrganisation::silentRootLeavesTheCallerFree()
{
    HandlOrganization *loader = HandlOrganization::gestance();
    const QList<MemberRecord *> before = loader->memberList();
    RequestWait::directory().setLimitMs(60000);
    setMode(m_server, QStringLiteral("members"), QStringLiteral("silent"));
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    // Neither the load nor a second request while it waits holds the caller.
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer clock;
        clock.start();
        emit loader->sigHandlOrganization(HandlOrganization::rootDepartmentId());
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(loader->getRunStatus());
    }
    QVERIFY(completion.isEmpty());
    // Once the server lets go of the held root, the load completes once, as usual.
    resetServer(m_server);
    QVERIFY(completion.wait(40000));
    QCoreApplication::processEvents();
    QCOMPARE(completion.count(), 1);
    QVERIFY(!loader->getRunStatus());
    QCOMPARE(loader->memberList().size(), before.size());
}

void TestOrganisation::failedDepartmentStillCompletes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("department");
    QTest::newRow("not JSON") << "garbage"
                              << "技术研发部";
    QTest::newRow("status 0") << "status0"
                              << "技术研发部";
    QTest::newRow("silent") << "silent"
                            << "市场部";
}

void TestOrganisation::failedDepartmentStillCompletes()
{
    QFETCH(QString, mode);
    QFETCH(QString, department);
    HandlOrganization *loader = HandlOrganization::gestance();
    const MemberRecord *target = byName(loader->memberList(), department);
    QVERIFY(target);
    const QString id = target->dept_id;
    RequestWait::directory().setLimitMs(1500);
    setMode(m_server, QStringLiteral("members"), mode, QByteArray(), {id});
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    loadRoot(completion);
    QCOMPARE(completion.count(), 1);
    const QList<MemberRecord *> top = loader->memberList();
    QVERIFY(byName(top, department));
    QVERIFY(byName(top, department)->children.isEmpty());
    for (const MemberRecord *record : top) {
        if (record->isDepartment() && record->dept_name != department &&
            record->has_children != QLatin1String("0"))
            QVERIFY2(!record->children.isEmpty(), qPrintable(record->dept_name));
    }
}

void TestOrganisation::departmentListedBelowItselfEnds()
{
    setMode(
        m_server, QStringLiteral("members"), QStringLiteral("raw"),
        R"({"status":1,"data":{"dept":[{"dept_id":7,"dept_name":"环","parent_id":7,"has_children":1}],"user":[]}})");
    HandlOrganization *loader = HandlOrganization::gestance();
    QSignalSpy completion(loader, &HandlOrganization::sigHandlCompletion);
    loadRoot(completion);
    const QList<MemberRecord *> top = loader->memberList();
    QCOMPARE(top.size(), 1);
    QCOMPARE(top.first()->children.size(), 1);
    QVERIFY(top.first()->children.first()->children.isEmpty());
    QVERIFY(loader->roleIndex().isEmpty());

    // Restore the demo organisation for the cases that follow.
    resetServer(m_server);
    loadRoot(completion);
}

void TestOrganisation::companyName()
{
    GetCompany company;
    QSignalSpy named(&company, &GetCompany::sigCompanyName);
    QCOMPARE(company.companyName(), QString());
    company.getCompanyInfor();
    QVERIFY(named.wait(20000));
    QCOMPARE(company.companyName(), QStringLiteral("星河协同科技有限公司"));
    QCOMPARE(company.property("companyName").toString(), company.companyName());
}

void TestOrganisation::companyBadReplies_data()
{
    addBadReplyRows();
    QTest::newRow("name missing") << "raw" << QByteArray(R"({"status":1,"data":{"company_id":1}})");
    QTest::newRow("name not text")
        << "raw" << QByteArray(R"({"status":1,"data":{"company_name":["x"]}})");
}

void TestOrganisation::companyBadReplies()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    QNetworkAccessManager manager;
    GetCompany company;
    company.onGetCompanyInfor(fetch(manager, QStringLiteral("api/system/company")));
    const QString name = company.companyName();
    QVERIFY(!name.isEmpty());
    setMode(m_server, QStringLiteral("company"), mode, body);
    QSignalSpy named(&company, &GetCompany::sigCompanyName);
    company.onGetCompanyInfor(fetch(manager, QStringLiteral("api/system/company")));
    QCOMPARE(company.companyName(), name);
    QCOMPARE(named.count(), 0);
}

void TestOrganisation::personnelIndex()
{
    LoadPersonnel *personnel = LoadPersonnel::gestance();
    QSignalSpy loaded(personnel, &LoadPersonnel::sigPersonnelLoaded);
    personnel->getAllPersonnelInformation();
    QVERIFY(loaded.wait(20000));
    QStringList expected = m_userIds;
    expected.sort();
    LoadPersonnelinfor lookups;
    QCOMPARE(lookups.getPersonnelInformationKey(), expected);
    QCOMPARE(lookups.getPersonnelInformationValue(QStringLiteral("10001")), QStringLiteral("张伟"));
    QCOMPARE(lookups.getPersonnelInformationValue(QStringLiteral("nobody")), QString());
    const QJsonObject seen = m_server.hook(QStringLiteral("last-request"));
    QCOMPARE(seen.value(QLatin1String("form")).toObject().value(QLatin1String("search")).toString(),
             QStringLiteral("{}"));
}

void TestOrganisation::personnelBadReplies_data()
{
    addBadReplyRows();
    QTest::newRow("list is an object")
        << "raw" << QByteArray(R"({"status":1,"data":{"list":{"user_id":"1"}}})");
}

void TestOrganisation::personnelBadReplies()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, body);
    LoadPersonnel *personnel = LoadPersonnel::gestance();
    const QStringList before = personnel->personnelKeys();
    QVERIFY(!before.isEmpty());
    setMode(m_server, QStringLiteral("users"), mode, body);
    QNetworkAccessManager manager;
    QSignalSpy loaded(personnel, &LoadPersonnel::sigPersonnelLoaded);
    personnel->onAllPersonnelInformation(
        fetch(manager, QStringLiteral("api/user/users"), "communicate_type=sms&search=%7B%7D"));
    // The reply is read on the pool and handed back queued: both are through after these.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(personnel->personnelKeys(), before);
    QCOMPARE(loaded.count(), 0);
}

void TestOrganisation::personnelLaterEntryWins()
{
    setMode(
        m_server, QStringLiteral("users"), QStringLiteral("raw"),
        R"({"status":1,"data":{"list":[{"user_id":"b","user_name":"甲"},{"user_id":"B","user_name":"丙"},)"
        R"({"user_id":"b","user_name":"乙"},{"user_name":"无名"},5]}})");
    LoadPersonnel *personnel = LoadPersonnel::gestance();
    QSignalSpy loaded(personnel, &LoadPersonnel::sigPersonnelLoaded);
    personnel->getAllPersonnelInformation();
    QVERIFY(loaded.wait(20000));
    // Ids compare as case-sensitive text; entries without an id name nobody.
    QCOMPARE(personnel->personnelKeys(), QStringList({QStringLiteral("B"), QStringLiteral("b")}));
    QCOMPARE(personnel->personnelValue(QStringLiteral("b")), QStringLiteral("乙"));
}

TARNEX_TEST_MAIN(TestOrganisation)
#include "tst_organisation.moc"
