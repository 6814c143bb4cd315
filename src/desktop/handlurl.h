#pragma once

#include <QObject>
#include <QUrl>

// Turns what the user typed into a URL, preferring a file or folder that exists on disk.
class HandlUrl : public QObject
{
    Q_OBJECT
public:
    explicit HandlUrl(QObject *parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE QUrl fromUserInput(const QString &userInput) const;
};
