#include "referenceserver.h"
#include "testcertificates.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "net/documentnetwork.h"
#include "net/requestslot.h"
#include "net/serverrequest.h"
#include "net/servertrust.h"
#include "shell/pinnedorigincheck.h"
#include "sio/client.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QtTest>

#include <atomic>
#include <memory>

// A page's certificate error as the browser hands it over: its page, and what became of it.
class HeldError : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl url MEMBER url CONSTANT)
public:
    explicit HeldError(const QUrl &page) : url(page) {}
    Q_INVOKABLE void defer() { outcome = QStringLiteral("deferred"); }
    Q_INVOKABLE void ignoreCertificate() { outcome = QStringLiteral("ignored"); }
    Q_INVOKABLE void rejectCertificate() { outcome = QStringLiteral("rejected"); }

    QUrl url;
    QString outcome;
};

class TestServerTrust : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void origin_data();
    void origin();
    void fingerprintFormat();
    void selfSignedRefusedUntilTrusted();
    void changedCertificateNeedsConsent();
    void authorityInStorePassesSilently();
    void plainHttpUntouched();
    void messagingLinkFollowsTrust();
    void documentsAndPagesFollowTrust();

private:
    // One server check through a slot's manager, as the client's requests go; the reply's error.
    QNetworkReply::NetworkError check(const ReferenceServer &server);

    TestCertificates m_certificates;
    RequestSlot m_slot;
};

void TestServerTrust::initTestCase()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    QVERIFY(m_certificates.isValid());
}

QNetworkReply::NetworkError TestServerTrust::check(const ReferenceServer &server)
{
    QNetworkAccessManager *manager = m_slot.renew();
    std::unique_ptr<QNetworkReply> reply(
        manager->get(ServerRequest::make(ServerRequest::baseUrl(server.address()))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        return QNetworkReply::TimeoutError;
    return reply->error();
}

void TestServerTrust::origin_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default port") << "https://OA.Example.com/tarnex10/"
                                  << "https://oa.example.com:443";
    QTest::newRow("own port") << "https://oa.example.com:8443/x"
                              << "https://oa.example.com:8443";
    // The messaging link of a server shares the pin of its https side.
    QTest::newRow("wss is the same server") << "wss://oa.example.com:8443/socket.io/?EIO=4"
                                            << "https://oa.example.com:8443";
    QTest::newRow("plain http has none") << "http://oa.example.com"
                                         << "";
    QTest::newRow("plain ws has none") << "ws://oa.example.com"
                                       << "";
}

void TestServerTrust::origin()
{
    QFETCH(QString, url);
    QFETCH(QString, expected);
    QCOMPARE(ServerTrust::origin(QUrl(url)), expected);
}

void TestServerTrust::fingerprintFormat()
{
    QCOMPARE(ServerTrust::fingerprint(QByteArray::fromHex("ab0109ff")), "AB:01:09:FF");
    QCOMPARE(ServerTrust::fingerprint(QByteArray()), QString());
}

void TestServerTrust::selfSignedRefusedUntilTrusted()
{
    TestCertificates::Pair pair;
    QVERIFY2(m_certificates.makeSelfSigned(QStringLiteral("self"), &pair),
             qPrintable(m_certificates.output()));
    const QByteArray digest = ServerTrust::digestOf(TestCertificates::load(pair.certificate));
    QCOMPARE(digest.size(), 32);
    ReferenceServer server;
    QVERIFY2(server.startTls(pair.certificate, pair.key), qPrintable(server.output()));
    const QString origin = ServerTrust::origin(server.baseUrl());

    QSignalSpy refused(ServerTrust::instance(), &ServerTrust::refused);
    QCOMPARE(check(server), QNetworkReply::SslHandshakeFailedError);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toString(), origin);
    QCOMPARE(refused.at(0).at(1).toString(), ServerTrust::fingerprint(digest));
    QCOMPARE(refused.at(0).at(2).toString(), QString());
    QVERIFY(!ServerTrust::instance()->lastRefusal().changed());
    // Refused before the request went out.
    QVERIFY(server.hook(QStringLiteral("last-request")).value(QLatin1String("path")).isUndefined());

    ServerTrust::instance()->trust(origin, digest);
    QVERIFY(ServerTrust::instance()->lastRefusal().isNull());
    QCOMPARE(check(server), QNetworkReply::NoError);
    QCOMPARE(refused.count(), 1);
    // Kept in the settings, which only the user may read.
    QCOMPARE(ConfigFile::instance()->certificatePin(origin), QString::fromLatin1(digest.toHex()));
    QCOMPARE(QFileInfo(ConfigFile::instance()->settingsFilePath()).permissions() & 0x0077, 0);
}

void TestServerTrust::changedCertificateNeedsConsent()
{
    TestCertificates::Pair before;
    TestCertificates::Pair after;
    QVERIFY2(m_certificates.makeSelfSigned(QStringLiteral("before"), &before),
             qPrintable(m_certificates.output()));
    QVERIFY2(m_certificates.makeSelfSigned(QStringLiteral("after"), &after),
             qPrintable(m_certificates.output()));
    const QByteArray oldDigest = ServerTrust::digestOf(TestCertificates::load(before.certificate));
    const QByteArray newDigest = ServerTrust::digestOf(TestCertificates::load(after.certificate));
    QVERIFY(oldDigest != newDigest);

    ReferenceServer server;
    QVERIFY2(server.startTls(before.certificate, before.key), qPrintable(server.output()));
    const QString origin = ServerTrust::origin(server.baseUrl());
    const int port = server.port();
    ServerTrust::instance()->trust(origin, oldDigest);
    QCOMPARE(check(server), QNetworkReply::NoError);

    // The same address now answers with another certificate.
    server.stop();
    QVERIFY2(server.startTls(after.certificate, after.key, {}, port), qPrintable(server.output()));
    QSignalSpy refused(ServerTrust::instance(), &ServerTrust::refused);
    QCOMPARE(check(server), QNetworkReply::SslHandshakeFailedError);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(1).toString(), ServerTrust::fingerprint(newDigest));
    QCOMPARE(refused.at(0).at(2).toString(), ServerTrust::fingerprint(oldDigest));
    const ServerTrust::Refusal refusal = ServerTrust::instance()->lastRefusal();
    QVERIFY(refusal.changed());
    QCOMPARE(refusal.pinnedDigest, oldDigest);
    // Until the user accepts it, the old pin stays and every request is refused.
    QCOMPARE(check(server), QNetworkReply::SslHandshakeFailedError);
    QCOMPARE(ServerTrust::instance()->pinnedDigest(origin), oldDigest);

    ServerTrust::instance()->trust(refusal.origin, refusal.digest);
    QCOMPARE(check(server), QNetworkReply::NoError);
    QCOMPARE(ServerTrust::instance()->pinnedDigest(origin), newDigest);
}

void TestServerTrust::authorityInStorePassesSilently()
{
    TestCertificates::Pair authority;
    TestCertificates::Pair pair;
    QVERIFY2(m_certificates.makeAuthoritySigned(QStringLiteral("signed"), &authority, &pair),
             qPrintable(m_certificates.output()));
    ReferenceServer server;
    QVERIFY2(server.startTls(pair.certificate, pair.key), qPrintable(server.output()));
    QSignalSpy refused(ServerTrust::instance(), &ServerTrust::refused);

    // Without the authority the certificate is unknown.
    QCOMPARE(check(server), QNetworkReply::SslHandshakeFailedError);
    QCOMPARE(refused.count(), 1);

    // The test's stand-in for the system store.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration withAuthority = saved;
    withAuthority.addCaCertificate(TestCertificates::load(authority.certificate));
    QSslConfiguration::setDefaultConfiguration(withAuthority);
    const QNetworkReply::NetworkError error = check(server);
    QSslConfiguration::setDefaultConfiguration(saved);
    QCOMPARE(error, QNetworkReply::NoError);
    QCOMPARE(refused.count(), 1);
    QVERIFY(ServerTrust::instance()->pinnedDigest(ServerTrust::origin(server.baseUrl())).isEmpty());
}

void TestServerTrust::plainHttpUntouched()
{
    ReferenceServer server;
    QVERIFY2(server.start(), qPrintable(server.output()));
    QSignalSpy refused(ServerTrust::instance(), &ServerTrust::refused);
    QCOMPARE(check(server), QNetworkReply::NoError);
    QCOMPARE(refused.count(), 0);
}

void TestServerTrust::messagingLinkFollowsTrust()
{
    TestCertificates::Pair pair;
    QVERIFY2(m_certificates.makeSelfSigned(QStringLiteral("link"), &pair),
             qPrintable(m_certificates.output()));
    const QByteArray digest = ServerTrust::digestOf(TestCertificates::load(pair.certificate));
    ReferenceServer server;
    QVERIFY2(server.startTls(pair.certificate, pair.key), qPrintable(server.output()));
    QSignalSpy refused(ServerTrust::instance(), &ServerTrust::refused);

    std::atomic<int> opens{0};
    std::atomic<int> failures{0};
    sio::Client client;
    client.setConnectTimeout(20000);
    client.setCertificateJudge(
        [](const QUrl &url, const QSslCertificate &leaf, const QList<QSslError> &errors) {
            return ServerTrust::instance()->accept(url, leaf, errors);
        });
    client.setOpenListener([&opens]() { ++opens; });
    client.setFailListener([&failures](const QString &) { ++failures; });
    client.socket(QStringLiteral("/client"));
    const QMap<QString, QString> query{{QStringLiteral("loginUserId"), QStringLiteral("1")}};

    client.connect(server.baseUrl(), query);
    QTRY_COMPARE_WITH_TIMEOUT(failures.load(), 1, 20000);
    QCOMPARE(opens.load(), 0);
    QTRY_COMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(1).toString(), ServerTrust::fingerprint(digest));

    ServerTrust::instance()->trust(ServerTrust::origin(server.baseUrl()), digest);
    client.connect(server.baseUrl(), query);
    QTRY_COMPARE_WITH_TIMEOUT(opens.load(), 1, 20000);
    QCOMPARE(failures.load(), 1);
    QCOMPARE(refused.count(), 1);
    client.close();
}

// The documents' network reaches the signed-in server through its pin and no other host; the
// browser's check of a page it cannot verify says yes for the pinned server only.
void TestServerTrust::documentsAndPagesFollowTrust()
{
    TestCertificates::Pair pair;
    QVERIFY2(m_certificates.makeSelfSigned(QStringLiteral("pages"), &pair),
             qPrintable(m_certificates.output()));
    ReferenceServer server;
    QVERIFY2(server.startTls(pair.certificate, pair.key), qPrintable(server.output()));
    const QUrl base = server.baseUrl();
    PinnedOriginCheck pages;
    QSignalSpy answered(&pages, &PinnedOriginCheck::answered);
    QSignalSpy refused(&pages, &PinnedOriginCheck::refused);
    // A held error waits for its own page's answer only.
    HeldError unpinned(base);
    HeldError elsewhere(QUrl(QStringLiteral("https://127.0.0.2:1/")));
    elsewhere.defer();
    pages.hold(&unpinned);
    QCOMPARE(unpinned.outcome, QStringLiteral("deferred"));
    QVERIFY(answered.wait(15000));
    QCOMPARE(answered.at(0).at(1).toBool(), false);
    QVERIFY(!answered.at(0).at(2).toString().isEmpty());
    QCOMPARE(unpinned.outcome, QStringLiteral("rejected"));
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0), answered.at(0).at(2));
    QCOMPARE(elsewhere.outcome, QStringLiteral("deferred"));

    ServerTrust::instance()->trust(ServerTrust::origin(base),
                                   ServerTrust::digestOf(TestCertificates::load(pair.certificate)));
    HeldError pinned(base);
    pages.hold(&pinned);
    QVERIFY(answered.wait(15000));
    QCOMPARE(answered.at(1).at(1).toBool(), true);
    QCOMPARE(pinned.outcome, QStringLiteral("ignored"));
    QCOMPARE(unpinned.outcome, QStringLiteral("rejected"));
    QCOMPARE(refused.count(), 1);

    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), base.toString());
    DocumentNetwork network({});
    std::unique_ptr<QNetworkAccessManager> manager(network.create(nullptr));
    const auto fetch = [&manager](const QUrl &url) {
        std::unique_ptr<QNetworkReply> reply(manager->get(QNetworkRequest(url)));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished())
            finished.wait(20000);
        return reply->error();
    };
    QCOMPARE(fetch(base), QNetworkReply::NoError);
    QCOMPARE(fetch(QUrl(QStringLiteral("https://127.0.0.2:") + QString::number(base.port()))),
             QNetworkReply::ProtocolUnknownError);
    QCOMPARE(fetch(QUrl(QStringLiteral("file:///etc/hostname"))),
             QNetworkReply::ProtocolUnknownError);
}

TARNEX_TEST_MAIN(TestServerTrust)
#include "tst_servertrust.moc"
