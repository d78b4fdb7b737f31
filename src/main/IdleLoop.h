#pragma once

// The idle pass: the picture brought up to date, a finished change kept for undo, one
// simulation step while the simulation is on (with the texture refreshed at most every
// 0.08 s), and a frame of the main window when what it shows changed.
void idle();
// Whether an idle pass would do anything: otherwise the idle callback rests.
bool idleHasWork();
// With a pace set, the idle callback rests between steps: a timer brings it back when
// the next step is due.
void wakeForNextStep();
