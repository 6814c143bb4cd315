#include "requestslot.h"

#include "servertrust.h"

#include <QNetworkAccessManager>

RequestSlot::~RequestSlot()
{
    delete m_manager.data();
}

void RequestSlot::drop()
{
    if (!m_manager)
        return;
    m_manager->disconnect();
    m_manager->deleteLater();
    m_manager = nullptr;
}

QNetworkAccessManager *RequestSlot::renew()
{
    if (m_manager) {
        m_manager->disconnect();
        // Deleting the manager aborts its pending replies; later is safe inside its own slot.
        m_manager->deleteLater();
    }
    m_manager = new QNetworkAccessManager;
    ServerTrust::watch(m_manager);
    return m_manager;
}
