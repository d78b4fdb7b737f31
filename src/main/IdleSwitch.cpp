#include "main/IdleSwitch.h"

#include <GL/freeglut.h>

void IdleSwitch::install(void (*work)())
{
    idleWork = work;
    resting = false;
    glutIdleFunc(work);
}

void IdleSwitch::rest()
{
    if (resting)
        return;
    resting = true;
    glutIdleFunc(nullptr);
}

void IdleSwitch::wake()
{
    if (!resting || idleWork == nullptr)
        return;
    resting = false;
    glutIdleFunc(idleWork);
}
