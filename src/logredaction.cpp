#include "logredaction.h"

#include <QMutex>
#include <QRegularExpression>
#include <QStringList>

namespace {

QMutex &secretsMutex()
{
    static QMutex mutex;
    return mutex;
}

QStringList &secrets()
{
    static QStringList list;
    return list;
}

const QString kHidden = QStringLiteral("***");

} // namespace

namespace LogRedaction {

QString redact(const QString &line)
{
    // Query and form values: api_token=, token= (the web client's address), password=.
    static const QRegularExpression formValue(
        QStringLiteral(R"re(((?:token|password|pwd|passwd)=)[^&"'\s<>#\\]+)re"),
        QRegularExpression::CaseInsensitiveOption);
    // JSON members, as they are and as QDebug quotes them ("{\"token\":\"…\"}"). A key ends in
    // one of these words, so "api_token" and "user_password" count too.
#define TARNEX_SECRET_KEYS "(?:token|password|pwd|passwd|qr_?code|secret)"
    static const QRegularExpression jsonValue(
        QStringLiteral(R"re(([A-Za-z_]*)re" TARNEX_SECRET_KEYS R"re("\s*:\s*")(?:[^"\\]|\\.)*)re"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression quotedJsonValue(
        QStringLiteral(R"re(([A-Za-z_]*)re" TARNEX_SECRET_KEYS R"re(\\"\s*:\s*\\")[^"\\]*)re"),
        QRegularExpression::CaseInsensitiveOption);
#undef TARNEX_SECRET_KEYS
    static const QRegularExpression bearer(QStringLiteral(R"re((Bearer\s+)[^\s"'\\]+)re"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString text = line;
    {
        QMutexLocker lock(&secretsMutex());
        for (const QString &secret : qAsConst(secrets()))
            text.replace(secret, kHidden);
    }
    text.replace(formValue, QStringLiteral("\\1") + kHidden);
    text.replace(jsonValue, QStringLiteral("\\1") + kHidden);
    text.replace(quotedJsonValue, QStringLiteral("\\1") + kHidden);
    text.replace(bearer, QStringLiteral("\\1") + kHidden);
    return text;
}

void addSecret(const QString &secret)
{
    if (secret.size() < 6)
        return;
    QMutexLocker lock(&secretsMutex());
    if (!secrets().contains(secret))
        secrets().append(secret);
}

} // namespace LogRedaction
