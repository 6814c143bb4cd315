#include "startupprobe.h"

#include "logredaction.h"
#include "startupphase.h"

#include <QCoreApplication>
#include <memory>

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTimer>

namespace {

QtMessageHandler previousHandler = nullptr;
QFile *logFile = nullptr;
QMutex logMutex;

void logToFile(QtMsgType type, const QMessageLogContext &context, const QString &rawMessage)
{
    // Logs are read by others (support, bug reports): no secret goes into any of them.
    const QString message = LogRedaction::redact(rawMessage);
    {
        QMutexLocker lock(&logMutex);
        if (logFile) {
            logFile->write(message.toUtf8() + '\n');
            logFile->flush();
        }
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

// Peak resident memory of this process in kB, where the system tells it (Linux).
qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QElapsedTimer &processClock()
{
    static QElapsedTimer clock;
    return clock;
}

} // namespace

namespace StartupProbe {

void installLogSink()
{
    processClock().start();
    const QString path = qEnvironmentVariable("TARNEX_LOG_FILE");
    if (!path.isEmpty()) {
        logFile = new QFile(path);
        if (logFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            logFile->setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        } else {
            delete logFile;
            logFile = nullptr;
        }
    }
    // Installed with or without a file: the standard error is a log too.
    previousHandler = qInstallMessageHandler(logToFile);
}

void watchFirstFrame(QQmlApplicationEngine &engine)
{
    const QList<QObject *> roots = engine.rootObjects();
    auto *window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
    if (!window)
        return;
    QStringList codes = qEnvironmentVariable("TARNEX_QUIT_AFTER_FIRST_FRAME")
                            .split(QLatin1Char(','), Qt::SkipEmptyParts);
    int quitCode = -1;
    if (!codes.isEmpty()) {
        quitCode = codes.takeFirst().toInt();
        if (codes.isEmpty())
            qunsetenv("TARNEX_QUIT_AFTER_FIRST_FRAME");
        else
            qputenv("TARNEX_QUIT_AFTER_FIRST_FRAME", codes.join(QLatin1Char(',')).toUtf8());
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [connection, quitCode] {
            QObject::disconnect(*connection);
            qInfo().noquote() << "first frame after" << processClock().elapsed() << "ms, peak RSS"
                              << peakResidentKb() << "kB";
            StartupPhase::end();
            if (quitCode >= 0)
                QTimer::singleShot(0, qApp, [quitCode] { QCoreApplication::exit(quitCode); });
        });
}

} // namespace StartupProbe
