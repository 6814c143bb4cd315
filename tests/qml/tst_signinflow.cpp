// Qt Quick Test of the sign-in documents against the reference server: the test cases in
// tests/qml/quick/ drive the real window (qrc:/main.qml) with keys and clicks.
#include "qmltypes.h"
#include "referenceserver.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/startupcontext.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>

// The test cases live beside this file; defined before the header, which reads it.
#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/quick"
#include <QtQuickTest/quicktest.h>

// What the test cases see of the reference server.
class TestServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString address READ address CONSTANT)
public:
    explicit TestServer(ReferenceServer *server) : m_server(server) {}
    QString address() const { return m_server->address(); }
    // POST /__hooks/<name>; the hook's answer.
    Q_INVOKABLE QVariantMap hook(const QString &name, const QVariantMap &body = {}) const
    {
        return m_server->hook(name, QJsonObject::fromVariantMap(body)).toVariantMap();
    }

private:
    ReferenceServer *m_server;
};

class Setup : public QObject
{
    Q_OBJECT
public:
    Setup()
    {
        tarnexIsolateHome();
        // The tray icon of the window needs the widget application.
        static int argc = 1;
        static char name[] = "tst_signinflow";
        static char *argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }

public slots:
    void applicationAvailable()
    {
        registerQmlTypes();
        if (!m_server.start())
            qFatal("the reference server did not start: %s", qPrintable(m_server.output()));
        // A user who has already added the demo server, in Chinese.
        ConfigFile *settings = ConfigFile::instance();
        settings->addServerAddress(m_server.address(), QStringLiteral("zh_CN"));
        settings->setMainConfig(QStringLiteral("serverAddress"), m_server.address());
        settings->setMainConfig(QStringLiteral("currentServerIp"), m_server.address());
        m_testServer = new TestServer(&m_server);
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        StartupContext values;
        values.curretnVersionInfor = QStringLiteral("5.0.0.4");
        values.newVersionInfor = QStringLiteral("5.0.0.4");
        values.publish(engine->rootContext());
        engine->rootContext()->setContextProperty(QStringLiteral("mainWindows"), engine);
        engine->rootContext()->setContextProperty(QStringLiteral("testServer"), m_testServer);
    }
    void cleanupTestCase() { m_server.stop(); }

private:
    QApplication *m_app = nullptr;
    ReferenceServer m_server;
    TestServer *m_testServer = nullptr;
};

QUICK_TEST_MAIN_WITH_SETUP(signinflow, Setup)
#include "tst_signinflow.moc"
