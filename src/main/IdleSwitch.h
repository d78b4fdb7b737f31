#pragma once

// GLUT's idle callback runs only while there is work (a running simulation, panel frames
// still to draw, a picture to bring up to date), so that the tool uses no processor time
// while nothing happens. Input and changes bring it back.

// Registers work as the idle callback.
void installIdle(void (*work)());
// Takes the idle callback away until the next wakeIdle.
void restIdle();
// Registers the idle callback again if it rests.
void wakeIdle();
