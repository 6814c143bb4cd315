// Memory of the built-in browser: the proportional set size (PSS) of this process and its
// descendants, with the client's window up, before and after the first page opens in the
// browser's factory, and whether the web engine was loaded or had processes before that page.
// The page is the reference server's web-client page; the documents are the compiled ones.
// Offscreen by default; under Xvfb with DISPLAY set and QT_QPA_PLATFORM=xcb.
#include "benchwait.h"
#include "procusage.h"
#include "referenceserver.h"
#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/renderfallback.h"
#include "desktop/startupcontext.h"

#include <QElapsedTimer>
#include <QJSValue>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTextStream>

#include <memory>

#include <unistd.h>

namespace {

using procusage::Usage;

// This process and every descendant, except the reference server's node process.
Usage usage()
{
    return procusage::usageOf(QString::number(QCoreApplication::applicationPid()),
                              QStringLiteral("node"));
}

} // namespace

int main(int argc, char **argv)
{
    tarnexIsolateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
    }
    // The engine's sandbox refuses to run as root (as the benchmark machines do).
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    RenderFallback::shareContextsForBrowser();
    QApplication app(argc, argv);
    QTextStream out(stdout);
    registerQmlTypes();
    ReferenceServer server;
    if (!server.start()) {
        out << "bench_browser: the reference server did not start\n";
        return 1;
    }
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());

    // The page is measured against the client as it is before any page: its window up (the
    // sign-in window), so Qt Quick, its controls and the scene graph are in the baseline and the
    // figure is what the web engine adds.
    QQmlApplicationEngine engine;
    StartupContext values;
    values.publish(engine.rootContext());
    engine.rootContext()->setContextProperty(QStringLiteral("mainWindows"), &engine);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (engine.rootObjects().isEmpty()) {
        out << "bench_browser: the window did not load\n";
        return 1;
    }
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/ApplicationRoot.qml")));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        out << "bench_browser: " << component.errorString() << "\n";
        return 1;
    }
    bench::settle(3000);
    const Usage before = usage();
    const bool mappedBefore = before.webEngineMapped;

    QElapsedTimer clock;
    clock.start();
    const QString page =
        server.baseUrl().toString() +
        QStringLiteral("/tarnex10/client/app/web/login.html#token=&platform=client");
    QMetaObject::invokeMethod(root.get(), "loadUrl", Q_ARG(QVariant, page));
    QObject *window = nullptr;
    bool loaded = false;
    while (clock.elapsed() < 45000 && !loaded) {
        bench::settle(5);
        QVariant list = root->property("windows");
        if (list.userType() == qMetaTypeId<QJSValue>())
            list = list.value<QJSValue>().toVariant();
        const QVariantList windows = list.toList();
        window = windows.isEmpty() ? nullptr : windows.last().value<QObject *>();
        QObject *view = window ? window->property("webView").value<QObject *>() : nullptr;
        loaded = view && !view->property("loading").toBool() &&
                 view->property("title").toString().contains(QLatin1String("Web"));
    }
    const qint64 loadMs = clock.elapsed();
    bench::settle(3000);
    const Usage after = usage();

    out << "web engine before the first page: library " << (mappedBefore ? "loaded" : "not loaded")
        << ", " << before.webEngineProcesses << " processes\n";
    out << "first page " << (loaded ? "loaded" : "NOT loaded") << " after " << loadMs << " ms, "
        << after.webEngineProcesses << " web engine processes\n";
    out << "PSS before: " << before.selfKb / 1024.0 << " MB (+ " << before.childrenKb / 1024.0
        << " MB in child processes)\n";
    out << "PSS after:  " << after.selfKb / 1024.0 << " MB (+ " << after.childrenKb / 1024.0
        << " MB in child processes)\n";
    out << "PSS added by the first page: "
        << (after.selfKb + after.childrenKb - before.selfKb - before.childrenKb) / 1024.0
        << " MB (this process " << (after.selfKb - before.selfKb) / 1024.0 << " MB)\n";
    out.flush();
    if (window)
        QMetaObject::invokeMethod(window, "close");
    bench::settle(300);
    return loaded && !mappedBefore && before.webEngineProcesses == 0 ? 0 : 1;
}
