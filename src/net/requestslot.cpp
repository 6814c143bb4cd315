#include "requestslot.h"

#include <QNetworkAccessManager>

RequestSlot::~RequestSlot()
{
    delete m_manager.data();
}

QNetworkAccessManager *RequestSlot::renew()
{
    if (m_manager) {
        m_manager->disconnect();
        // Deleting the manager aborts its pending replies; later is safe inside its own slot.
        m_manager->deleteLater();
    }
    m_manager = new QNetworkAccessManager;
    return m_manager;
}
