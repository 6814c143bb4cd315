#include "handlurl.h"

#include <QFileInfo>

QUrl HandlUrl::fromUserInput(const QString &userInput) const
{
    const QFileInfo file(userInput);
    if (!userInput.isEmpty() && file.exists())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl::fromUserInput(userInput);
}
