#include "handlurl.h"

#include <QFileInfo>
#include <QRegularExpression>

QUrl HandlUrl::fromUserInput(const QString &userInput) const
{
    const QFileInfo file(userInput);
    if (!userInput.isEmpty() && file.exists())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl::fromUserInput(userInput);
}

QString HandlUrl::pageUrl(const QString &text) const
{
    static const QRegularExpression scheme(QStringLiteral("^[a-z][a-z0-9+.-]*:"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression hostPort(QStringLiteral("^[^:/]+:[0-9]+(/|$)"));
    const QString trimmed = text.trimmed();
    if (scheme.match(trimmed).hasMatch() && !hostPort.match(trimmed).hasMatch())
        return trimmed;
    return fromUserInput(trimmed).toString();
}

QString HandlUrl::pictureSource(const QString &picture)
{
    // Three slashes first: the element's path keeps its own leading one.
    for (const QString &prefix : {QStringLiteral("file:///"), QStringLiteral("file://")}) {
        const QRegularExpression element(QStringLiteral("<img src=\"") +
                                         QRegularExpression::escape(prefix) +
                                         QStringLiteral("(.*) />"));
        const QRegularExpressionMatch found = element.match(picture);
        if (found.hasMatch())
            return prefix + found.captured(1).section(QLatin1Char('"'), 0, 0);
    }
    return picture;
}
