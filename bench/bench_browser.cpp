// Memory of the built-in browser: the proportional set size (PSS) of this process and its
// descendants before and after the first page opens in the browser's factory, and whether the
// web engine was loaded or had processes before that page. The page is the reference server's
// web-client page; the documents are the compiled ones. Offscreen by default; under Xvfb with
// DISPLAY set and QT_QPA_PLATFORM=xcb.
#include "referenceserver.h"
#include "shell/qmltypes.h"
#include "testenvironment.h"

#include "config/configfile.h"
#include "desktop/startupcontext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJSValue>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTextStream>

#include <memory>

namespace {

// kB of "Pss:" in /proc/<pid>/smaps_rollup; 0 when unreadable.
qint64 pssOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

QString parentOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray stat = file.readAll();
    // The command name is in parentheses and may hold blanks; the parent follows the state.
    const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return QString::fromLatin1(rest.value(1));
}

QString commandOf(const QString &pid)
{
    QFile file(QStringLiteral("/proc/%1/comm").arg(pid));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().trimmed()) : QString();
}

struct Usage
{
    qint64 selfKb = 0;
    qint64 childrenKb = 0;
    int webEngineProcesses = 0;
};

// This process and every descendant, except the reference server's node process.
Usage usage()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    Usage result;
    result.selfKb = pssOf(self);
    const QStringList pids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        bool number = false;
        pid.toInt(&number);
        if (!number || pid == self)
            continue;
        QString up = parentOf(pid);
        for (int depth = 0; depth < 8 && !up.isEmpty() && up != QLatin1String("0") && up != self;
             ++depth)
            up = parentOf(up);
        if (up != self || commandOf(pid) == QLatin1String("node"))
            continue;
        result.childrenKb += pssOf(pid);
        if (commandOf(pid).startsWith(QLatin1String("QtWebEngine")))
            ++result.webEngineProcesses;
    }
    return result;
}

bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt5WebEngineCore");
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char **argv)
{
    tarnexIsolateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_QUICK_BACKEND", "software");
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTextStream out(stdout);
    registerQmlTypes();
    ReferenceServer server;
    if (!server.start()) {
        out << "bench_browser: the reference server did not start\n";
        return 1;
    }
    ConfigFile::instance()->setMainConfig(QStringLiteral("currentServerIp"), server.address());

    QQmlEngine engine;
    StartupContext values;
    values.publish(engine.rootContext());
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/ApplicationRoot.qml")));
    std::unique_ptr<QObject> root(component.create());
    if (!root) {
        out << "bench_browser: " << component.errorString() << "\n";
        return 1;
    }
    settle(1000);
    const Usage before = usage();
    const bool mappedBefore = webEngineMapped();

    QElapsedTimer clock;
    clock.start();
    const QString page =
        server.baseUrl().toString() +
        QStringLiteral("/tarnex10/client/app/web/login.html#token=&platform=client");
    QMetaObject::invokeMethod(root.get(), "loadUrl", Q_ARG(QVariant, page));
    QObject *window = nullptr;
    bool loaded = false;
    while (clock.elapsed() < 45000 && !loaded) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
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
    settle(3000);
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
    settle(300);
    return loaded && !mappedBefore && before.webEngineProcesses == 0 ? 0 : 1;
}
