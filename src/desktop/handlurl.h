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
    // The address a page is loaded from: a text with a scheme as it stands, anything else
    // ("host:port/path", as server addresses are kept) read as the address bar reads it.
    Q_INVOKABLE QString pageUrl(const QString &text) const;
    // A picture to show large: a URL as it stands, or the local file of an editor's image
    // element.
    Q_INVOKABLE static QString pictureSource(const QString &picture);
};
