#include "main/IdleSwitch.h"

#include <GL/freeglut.h>

namespace {
void (*idleWork)() = nullptr;
bool resting = false;
}  // namespace

void installIdle(void (*work)())
{
    idleWork = work;
    resting = false;
    glutIdleFunc(work);
}

void restIdle()
{
    if (resting) return;
    resting = true;
    glutIdleFunc(nullptr);
}

void wakeIdle()
{
    if (!resting || idleWork == nullptr) return;
    resting = false;
    glutIdleFunc(idleWork);
}
