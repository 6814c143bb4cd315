#include "autostart.h"

#include "logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

#ifdef Q_OS_WIN
const char kRunList[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
#else
// The program as an Exec value: quoted, with the characters the desktop entry format reserves
// inside quotes escaped, and every backslash doubled once more for the string value itself.
QString execValue(const QString &program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString readExec(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return QString();
}
#endif

} // namespace

QString Autostart::command()
{
    QString program = QCoreApplication::applicationFilePath();
#ifdef Q_OS_WIN
    program.replace(QLatin1Char('/'), QLatin1Char('\\'));
#endif
    return program;
}

QString Autostart::entryPath()
{
#ifdef Q_OS_WIN
    return QString();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/tarnex.desktop");
#endif
}

bool Autostart::isEnabled()
{
#ifdef Q_OS_WIN
    QSettings runList(QString::fromLatin1(kRunList), QSettings::NativeFormat);
    return runList.value(QCoreApplication::applicationName()).toString() == command();
#else
    return readExec(entryPath()) == execValue(command());
#endif
}

void Autostart::setEnabled(bool enabled)
{
#ifdef Q_OS_WIN
    QSettings runList(QString::fromLatin1(kRunList), QSettings::NativeFormat);
    const QString name = QCoreApplication::applicationName();
    if (!enabled)
        runList.remove(name);
    else if (runList.value(name).toString() != command())
        runList.setValue(name, command());
#else
    const QString path = entryPath();
    if (!enabled) {
        QFile::remove(path);
        return;
    }
    if (isEnabled())
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray entry = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=tarnex\n"
                             "Exec=" +
                             execValue(command()).toUtf8() +
                             "\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    // Flushed before the commit, which alone can pass a write that failed in its buffer.
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.flush() ||
        !file.commit())
        qCWarning(lcDesktop) << "cannot write the autostart entry" << path;
#endif
}
