#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVariantMap>
#include <QVector>

class QQmlComponent;

// The open browser windows, oldest first, and the maker of the browser's documents. A window
// leaves the list when it says it closed (its sigClosed()) or when it is destroyed, so the list
// never holds a window that is gone.
class BrowserWindowList : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList windows READ windows NOTIFY windowsChanged)
    Q_PROPERTY(int count READ count NOTIFY windowsChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)
public:
    explicit BrowserWindowList(QObject *parent = nullptr) : QObject(parent) {}

    QVariantList windows() const;
    int count() const { return m_windows.size(); }
    // The last failure to make a document, for the log and the tests.
    QString lastError() const { return m_lastError; }

    // Makes the document `name` (a file beside the one that holds this list) with `properties`
    // set as it is made, owned by `parent` as a created object is; null when it cannot be made.
    // Each document is compiled once, when first made: the web engine loads with the first.
    Q_INVOKABLE QObject *make(const QString &name, QObject *parent, const QVariantMap &properties);

    Q_INVOKABLE void add(QObject *window);
    Q_INVOKABLE void forget(QObject *window);
    // The newest window, null for none.
    Q_INVOKABLE QObject *newest() const;
    // The window the user works in: the newest active one, else the newest; null for none.
    Q_INVOKABLE QObject *current() const;
    // Gives every window the same value of a property (the look follows the main frame's).
    Q_INVOKABLE void setEach(const QString &property, const QVariant &value) const;

signals:
    void windowsChanged();
    void lastErrorChanged();

private slots:
    void closed();

private:
    QVector<QPointer<QObject>> m_windows;
    QHash<QString, QQmlComponent *> m_components;
    QString m_lastError;
};
