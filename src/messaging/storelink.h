#pragma once

#include <QPointer>

class QObject;
class SocketState;

// A model's link to the engine's store. Linking another store drops every connection of the
// model to the old one before `wire` connects it to the new one, so no event of a store it no
// longer shows reaches it.
class StoreLink
{
public:
    // False when `store` is linked already: nothing changed.
    template <typename Wire> bool link(QObject *owner, SocketState *store, Wire wire)
    {
        if (!replace(owner, store))
            return false;
        if (store)
            wire(store);
        return true;
    }

    SocketState *get() const;
    operator SocketState *() const { return get(); }
    SocketState *operator->() const { return get(); }

private:
    bool replace(QObject *owner, SocketState *store);

    QPointer<SocketState> m_store;
};
