#pragma once

// The tool's own figures of speed: simulation steps and texture refreshes a second, the
// cost of the last refresh, and how long input took to show. The panel shows steps/s
// while the simulation runs; with WEATHERING_STATS=1 in the environment all of them go
// to stderr once a second.

// Starts the clock (call first thing in main) and, when asked for, the printing.
void startLoopStatistics();

void noteStep();
void noteRefresh(double seconds);
// Input that the main window will show: a path click or a brush dab. The time until the
// end of the next frame is its latency.
enum class InputKind { click, dab };
void noteInput(InputKind kind);
// The work of a shown brush dab: the dab and its refresh, without the frame.
void noteDabWork(double seconds);
// A panel control's input arrived now; panelChangeApplied() when a frame applied it.
void notePanelInput();
void panelChangeApplied();
// The main window finished a frame that took this long; showsPicture: with the
// photograph's texture.
void noteFrameShown(bool showsPicture, double seconds);

// A frame showed the brush circle at a new place (with WEATHERING_STATS=1 a line with the
// wall clock, for a script to tell how far the circle trails the pointer).
void noteBrushShown(float x, float y);

// Closes the counting windows when a second has passed; true when steps/s changed.
bool rollLoopStatistics();
double stepsPerSecond();
// Forgets the steps and refreshes counted so far (the simulation was switched on).
void restartRateCounts();
