#pragma once

#include <QObject>
#include <QString>

// The two settings functions the updater's window needs, registered there as ConfigData: the
// theme keys of the main settings, and ending the program (which restarts the client).
class UpdaterConfig : public QObject
{
    Q_OBJECT
public:
    explicit UpdaterConfig(QObject *parent = nullptr) : QObject(parent) {}

    // The value of `confiles` in the main settings.
    Q_INVOKABLE QString getCurrentMainFile(const QString &confiles);
    // Ends the event loop with the exit code 900.
    Q_INVOKABLE void openExeProgram();

    static constexpr int openExeExitCode = 900;
};
