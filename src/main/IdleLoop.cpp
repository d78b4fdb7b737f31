#include "main/IdleLoop.h"

#include <GL/freeglut.h>

#include <chrono>

#include "main/AppState.h"
#include "main/Display.h"
#include "main/PanelWindow.h"
#include "timing/RefreshThrottle.h"

namespace {

bool pictureStale()
{
    return appState.pictureShown != appState.session.pictureVersion();
}

void refreshModelTexture()
{
    const auto start = std::chrono::steady_clock::now();
    appState.session.model().refreshTexture();
    appState.pictureShown = appState.session.pictureVersion();
    appState.statistics.noteRefresh(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// The panel shows the step count a few times a second (a frame of it per step would
// slow the run), and at once when the simulation stopped itself.
void showStepCount(bool stopped)
{
    constexpr float countInterval = 0.25f;
    const float now = appState.stopwatch.elapsed();
    if (stopped || now - appState.stepCountShown > countInterval) {
        appState.stepCountShown = now;
        wantPanelFrames();
    }
}

bool stepDue()
{
    return appState.pacer.due(appState.stopwatch.elapsed());
}

void simulationStep()
{
    WeatheringSession& session = appState.session;
    if (!appState.simulationWasOn)
        appState.statistics.restartRateCounts();
    if (!stepDue())
        return;
    appState.pacer.stepped(appState.stopwatch.elapsed());
    session.step();
    showStepCount(!session.simulationOn());
    appState.statistics.noteStep();
    if (refreshIsDue(appState.lastRefreshTime, appState.stopwatch.elapsed()))
        refreshModelTexture();
    if (appState.statistics.roll())
        wantPanelFrames();
}

}  // namespace

void idle()
{
    WeatheringSession& session = appState.session;
    glutSetWindow(appState.mainWindow);
    if (pictureStale())
        refreshModelTexture();
    // What input changed shows before the next step.
    if (mainWindowLookChanged())
        display();
    if (session.commitDueChange())
        wantPanelFrames();  // the undo count changed
    if (session.simulationAdvances())
        simulationStep();
    appState.simulationWasOn = session.simulationOn();
    const bool brushing = appState.leftDown == 1 && appState.mouseOperation == 1;
    appState.alternatives.refresh(session, appState.showDegrees != 0, session.simulationOn() || brushing,
                                  appState.stopwatch.elapsed());
    if (mainWindowLookChanged())
        display();
}

bool idleHasWork()
{
    const WeatheringSession& session = appState.session;
    return (session.simulationAdvances() && stepDue()) || pictureStale() ||
        appState.alternatives.haveWork(session, appState.showDegrees != 0) || mainWindowLookChanged() ||
        session.changeAwaitsCommit();
}

namespace {

void wakeForStep(int)
{
    appState.pacedWakeSet = false;
    appState.idle.wake();
}

}  // namespace

void wakeForNextStep()
{
    if (!appState.session.simulationAdvances() || appState.pacedWakeSet)
        return;
    const double wait = appState.pacer.secondsUntilDue(appState.stopwatch.elapsed());
    if (wait <= 0.0)
        return;
    appState.pacedWakeSet = true;
    // Rounded up, so that the step is due when the timer fires.
    glutTimerFunc(static_cast<unsigned int>(wait * 1000.0) + 1, wakeForStep, 0);
}
