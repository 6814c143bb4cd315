#include "storelink.h"

#include "socketstate.h"

SocketState *StoreLink::get() const
{
    return m_store.data();
}

bool StoreLink::replace(QObject *owner, SocketState *store)
{
    if (store == m_store)
        return false;
    if (m_store)
        QObject::disconnect(m_store, nullptr, owner, nullptr);
    m_store = store;
    return true;
}
