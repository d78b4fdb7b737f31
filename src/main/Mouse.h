#pragma once

// The mouse in the main window (GLUT callbacks): left clicks add path points or, in
// brush mode, drags paint; the right button takes the newest point back; the middle
// button draws the outline; a left drag with space held and the wheel move the view.
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void mouseWheel(int wheel, int direction, int x, int y);
