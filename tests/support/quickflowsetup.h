#pragma once

// What the Qt Quick Test flows share: the real window (qrc:/main.qml) with the registered types,
// a reference server with its test hooks, and a user who has already added that server.
// A flow's .cpp defines QUICK_TEST_SOURCE_DIR, includes <QtQuickTest/quicktest.h>, then says
// TARNEX_QUICK_FLOW(name, "extra server argument", ...).
#include "referenceserver.h"
#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/renderfallback.h"
#include "desktop/startupcontext.h"
#include "net/documentnetwork.h"

#include <QApplication>
#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

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

// Files the window asks the desktop to open: recorded instead of opened, so a flow can check
// the request and no program starts on the test machine.
class DesktopOpens : public QObject
{
    Q_OBJECT
public:
    // The local paths (other URLs whole) asked for, oldest first.
    Q_INVOKABLE QStringList opened() const { return m_opened; }

public slots:
    void open(const QUrl &url)
    {
        m_opened.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    }

private:
    QStringList m_opened;
};

// Another host on loopback that no document may reach: it counts the connections made to it.
class ForeignHost : public QObject
{
    Q_OBJECT
public:
    ForeignHost()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++m_hits;
                socket->close();
                socket->deleteLater();
            }
        });
    }
    // "http://127.0.0.1:<port>"
    Q_INVOKABLE QString address() const
    {
        return QStringLiteral("http://127.0.0.1:") + QString::number(m_server.serverPort());
    }
    Q_INVOKABLE int hits() const { return m_hits; }

private:
    QTcpServer m_server;
    int m_hits = 0;
};

class QuickFlowSetup : public QObject
{
    Q_OBJECT
public:
    explicit QuickFlowSetup(const char *name, QStringList serverArgs = {})
        : m_serverArgs(std::move(serverArgs))
    {
        tarnexIsolateHome();
        // The tray icon of the window needs the widget application.
        static int argc = 1;
        static QByteArray program(name);
        static char *argv[] = {program.data(), nullptr};
        // As in the client: the built-in browser's shared contexts, asked for up front.
        RenderFallback::shareContextsForBrowser();
        m_app = new QApplication(argc, argv);
    }
    // The application goes before the program's statics, as in the client: what it owns (the
    // local history's thread among them) stops while the libraries it uses are still there.
    ~QuickFlowSetup() override { delete m_app; }

public slots:
    void applicationAvailable()
    {
        registerQmlTypes();
        if (!m_server.start(m_serverArgs + serverArgsAtStart()))
            qFatal("the reference server did not start: %s", qPrintable(m_server.output()));
        // The version dialogs ask the reference server's feed, never the vendor's.
        qputenv("TARNEX_UPDATE_FEED",
                (m_server.baseUrl().toString() +
                 QStringLiteral("/tarnex10pack/client/client.php?platform=win"))
                    .toUtf8());
        // A user who has already added the demo server, in Chinese.
        ConfigFile *settings = ConfigFile::instance();
        settings->addServerAddress(m_server.address(), QStringLiteral("zh_CN"));
        settings->setMainConfig(QStringLiteral("serverAddress"), m_server.address());
        settings->setMainConfig(QStringLiteral("currentServerIp"), m_server.address());
        m_testServer = new TestServer(&m_server);
        m_desktopOpens = new DesktopOpens;
        m_foreignHost = new ForeignHost;
        // Whatever the client hands the desktop is recorded instead of opened.
        for (const char *scheme : {"file", "http", "https", "mailto", "javascript", "smb"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), m_desktopOpens, "open");
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        DocumentNetwork::install(*engine);
        StartupContext values;
        values.curretnVersionInfor = QStringLiteral("5.0.0.4");
        values.newVersionInfor = QStringLiteral("5.0.0.4");
        values.publish(engine->rootContext());
        engine->rootContext()->setContextProperty(QStringLiteral("mainWindows"), engine);
        engine->rootContext()->setContextProperty(QStringLiteral("testServer"), m_testServer);
        engine->rootContext()->setContextProperty(QStringLiteral("desktopOpens"), m_desktopOpens);
        engine->rootContext()->setContextProperty(QStringLiteral("foreignHost"), m_foreignHost);
    }
    void cleanupTestCase() { m_server.stop(); }

protected:
    // Arguments only known once the application runs (files a flow makes for its server).
    virtual QStringList serverArgsAtStart() { return {}; }

private:
    QStringList m_serverArgs;
    QApplication *m_app = nullptr;
    ReferenceServer m_server;
    TestServer *m_testServer = nullptr;
    DesktopOpens *m_desktopOpens = nullptr;
    ForeignHost *m_foreignHost = nullptr;
};

// One Quick Test program whose setup is QuickFlowSetup with the given server arguments.
#define TARNEX_QUICK_FLOW(name, ...)                                                               \
    class name##Setup : public QuickFlowSetup                                                      \
    {                                                                                              \
    public:                                                                                        \
        name##Setup() : QuickFlowSetup(#name, QStringList{__VA_ARGS__}) {}                         \
    };                                                                                             \
    QUICK_TEST_MAIN_WITH_SETUP(name, name##Setup)
