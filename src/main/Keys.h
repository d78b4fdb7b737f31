#pragma once

// The keys of the main window (GLUT callbacks): Escape and q quit, ctrl+S saves the
// image, ctrl+Z / ctrl+shift+Z / ctrl+Y undo and redo, b shows the photograph as loaded
// while held, c clears the outline, and the view's keys zoom and pan.
void keyboard(unsigned char key, int x, int y);
void keyboardUp(unsigned char key, int x, int y);
void specialKey(int key, int x, int y);
