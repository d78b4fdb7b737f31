#pragma once

// Input to the panel's window, passed on to ImGui (GLUT callbacks of the panel window).
// Every event asks for frames; undo keys work over the panel too, unless a field is
// being typed in.

// Registers the backend's callbacks and ours on the current (panel) window only; the
// main window keeps its own.
void installPanelInput();

// The mouse releases held back until a frame saw their press (PanelState::HeldRelease):
// passed on before a frame, the presses marked seen after it.
void releaseHeldButtons();
void markPressesSeen();
bool releaseWaiting();
