#include "browserwindowlist.h"

#include <QDebug>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>

QVariantList BrowserWindowList::windows() const
{
    QVariantList list;
    for (const QPointer<QObject> &window : m_windows) {
        if (window)
            list.append(QVariant::fromValue<QObject *>(window));
    }
    return list;
}

void BrowserWindowList::add(QObject *window)
{
    if (!window || m_windows.contains(window))
        return;
    m_windows.append(window);
    if (window->metaObject()->indexOfSignal("sigClosed()") >= 0)
        connect(window, SIGNAL(sigClosed()), this, SLOT(closed()));
    connect(window, &QObject::destroyed, this, [this] {
        m_windows.removeAll(QPointer<QObject>());
        emit windowsChanged();
    });
    emit windowsChanged();
}

void BrowserWindowList::forget(QObject *window)
{
    if (!window || !m_windows.contains(window))
        return;
    window->disconnect(this);
    m_windows.removeAll(window);
    emit windowsChanged();
}

QObject *BrowserWindowList::newest() const
{
    for (int i = m_windows.size() - 1; i >= 0; --i) {
        if (m_windows.at(i))
            return m_windows.at(i);
    }
    return nullptr;
}

QObject *BrowserWindowList::current() const
{
    for (int i = m_windows.size() - 1; i >= 0; --i) {
        if (m_windows.at(i) && m_windows.at(i)->property("active").toBool())
            return m_windows.at(i);
    }
    return newest();
}

void BrowserWindowList::setEach(const QString &property, const QVariant &value) const
{
    const QByteArray name = property.toLatin1();
    for (const QPointer<QObject> &window : m_windows) {
        if (window)
            window->setProperty(name.constData(), value);
    }
}

void BrowserWindowList::closed()
{
    forget(sender());
}

QObject *BrowserWindowList::make(const QString &name, QObject *parent,
                                 const QVariantMap &properties)
{
    QQmlContext *context = qmlContext(this);
    if (!context)
        return nullptr;
    QQmlComponent *&component = m_components[name];
    if (!component)
        component = new QQmlComponent(context->engine(),
                                      context->resolvedUrl(QUrl(name + QStringLiteral(".qml"))),
                                      QQmlComponent::PreferSynchronous, this);
    QObject *made = component->isReady()
                        ? component->createWithInitialProperties(properties, context)
                        : nullptr;
    if (!made) {
        m_lastError = component->errorString();
        qWarning().noquote() << "built-in browser:" << m_lastError;
        emit lastErrorChanged();
        // Compiled again next time: a document that failed once is not remembered as broken.
        // (`component` refers into the hash: let go of the component before the entry.)
        component->deleteLater();
        m_components.remove(name);
        return nullptr;
    }
    made->setParent(parent);
    // As a document's createObject() leaves it: the object may destroy() itself.
    QQmlEngine::setObjectOwnership(made, QQmlEngine::JavaScriptOwnership);
    return made;
}
