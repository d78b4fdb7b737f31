#pragma once

// The keys of the main window (GLUT callbacks): Escape and q quit, ctrl+S saves the
// image, ctrl+Z / ctrl+shift+Z / ctrl+Y undo and redo, b shows the photograph as loaded
// while held, c clears the outline, ? and F1 show the keys, and the view's keys zoom and
// pan. KeyTable.h lists them all for people.
void keyboard(unsigned char key, int x, int y);
void keyboardUp(unsigned char key, int x, int y);
void specialKey(int key, int x, int y);

// Ends the tool at once with the status, the console flushed (q, Escape, a window's
// close button, a start-up file that cannot be loaded). No exit handlers run:
// freeglut's would close the windows and so call their close callbacks again.
[[noreturn]] void quitTool(int status);
