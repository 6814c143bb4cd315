#pragma once

#include <QObject>

// Kept for the documents that call it: texts come from the server's language packages, so
// switching a compiled translation has nothing to do.
class QmlLanguage : public QObject
{
    Q_OBJECT
public:
    explicit QmlLanguage(QObject *parent = nullptr) : QObject(parent) {}
    Q_INVOKABLE void setLanguage(int nLanguage) { Q_UNUSED(nLanguage) }
};
