#pragma once

#include <QObject>

#include <functional>
#include <memory>

// What the first frame does not show waits for it: the entry point begins the phase before the
// main document loads and ends it once the first frame is on screen (or after a time limit, for
// a window that never draws). Without the entry point (tests, tools) the phase has ended, so
// everything is made at once.
class StartupPhase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool firstFrameShown READ firstFrameShown NOTIFY firstFrameShownChanged)
    // The first frame was waited for: what waited is then made in the background, in steps,
    // rather than at once as without the entry point.
    Q_PROPERTY(bool behindFirstFrame READ behindFirstFrame CONSTANT)
public:
    static StartupPhase *instance();

    // Before the main document loads.
    static void begin();
    // The first frame is on screen. What waited runs from the event loop, after the caller.
    static void end();
    // Runs `work` once the first frame is on screen: at once when it already is. Dropped with
    // `context`.
    static void afterFirstFrame(QObject *context, std::function<void()> work);

    bool firstFrameShown() const { return m_shown; }
    bool behindFirstFrame() const { return m_begun; }

signals:
    void firstFrameShownChanged();

private:
    explicit StartupPhase(QObject *parent = nullptr);
    void finish();

    bool m_shown = true;
    bool m_begun = false;
    bool m_ending = false;
};
