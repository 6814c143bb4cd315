#include "startupphase.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// A window that never draws (unmapped, on a locked screen) must not keep the rest from coming.
constexpr int firstFrameLimitMs = 3000;

} // namespace

StartupPhase *StartupPhase::instance()
{
    static StartupPhase *phase = new StartupPhase(QCoreApplication::instance());
    return phase;
}

StartupPhase::StartupPhase(QObject *parent) : QObject(parent) {}

void StartupPhase::begin()
{
    StartupPhase *phase = instance();
    phase->m_shown = false;
    phase->m_begun = true;
    QTimer::singleShot(firstFrameLimitMs, phase, &StartupPhase::end);
}

void StartupPhase::end()
{
    StartupPhase *phase = instance();
    if (phase->m_shown || phase->m_ending)
        return;
    phase->m_ending = true;
    // Queued: the frame's own handlers (the start-up probe) finish first.
    QTimer::singleShot(0, phase, &StartupPhase::finish);
}

void StartupPhase::finish()
{
    m_shown = true;
    emit firstFrameShownChanged();
}

void StartupPhase::afterFirstFrame(QObject *context, std::function<void()> work)
{
    StartupPhase *phase = instance();
    if (phase->m_shown) {
        work();
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(phase, &StartupPhase::firstFrameShownChanged, context,
                          [connection, work = std::move(work)] {
                              QObject::disconnect(*connection);
                              work();
                          });
}
