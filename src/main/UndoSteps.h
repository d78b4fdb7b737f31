#pragma once

// The changes to the picture that ctrl+Z takes back and ctrl+shift+Z / ctrl+Y
// repeats: a brush stroke (press to release), a run of the simulation (tick to
// untick), "Init", a path click, "Load Mask". Each change is announced before it
// happens (noteWholeChange, noteDab) and kept as one step when it is done
// (commitChange). A new photograph starts a new history.

// A new photograph, or its start-up mask: no steps, the model as it is now.
void startNewHistory();
// Before a change that may touch every pixel.
void noteWholeChange();
// Before a brush dab at (x, y).
void noteDab(float x, float y, float radius);
// After a change: keeps it as a step, once the change has shown (commitDueChange),
// or at the latest when the next change is announced. While the simulation runs,
// what it changes from then on belongs to the next step.
void commitChange();
// Keeps a change that commitChange left waiting; call it after a frame showed it and
// before the model changes again.
void commitDueChange();
bool changeAwaitsCommit();

// ctrl+Z and ctrl+shift+Z: a running simulation stops first, and what changed so far
// (the run, a stroke under way) is the step undone. The picture follows at the next
// idle pass.
void undoChange();
void redoChange();
int undoableSteps();
int redoableSteps();
