#pragma once

// Starting the real client signed in, for tests and benchmarks that watch it from outside.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

// Saves zhangwei's auto-login account for `address` in the home that `env` points at, so the
// client's next start signs in by itself (with `more` of tarnex-preset's options, such as
// "--open" and a view). False when tarnex-preset fails.
inline bool presetAutoLogin(const QProcessEnvironment &env, const QString &address,
                            const QStringList &more = {})
{
    QProcess preset;
    preset.setProcessEnvironment(env);
    preset.start(QStringLiteral(TARNEX_BINARY_DIR "/tarnex-preset"),
                 QStringList{address, QStringLiteral("zh_CN"), QStringLiteral("--account"),
                             QStringLiteral("zhangwei"), QStringLiteral("--password"),
                             QStringLiteral("123456"), QStringLiteral("--auto-login")} +
                     more);
    return preset.waitForFinished(30000) && preset.exitStatus() == QProcess::NormalExit &&
           preset.exitCode() == 0;
}

// The client logs to `logPath` and asks the reference server at `base` for its update feed.
inline void pointClientAt(QProcessEnvironment &env, const QString &logPath, const QUrl &base)
{
    env.insert(QStringLiteral("TARNEX_LOG_FILE"), logPath);
    env.insert(QStringLiteral("TARNEX_UPDATE_FEED"),
               base.toString() + QStringLiteral("/tarnex10pack/client/client.php?platform=win"));
}
