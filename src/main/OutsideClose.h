#pragma once

// Ending the tool when its windows are closed or destroyed from outside: a window
// manager's close button ends it as q does; a window destroyed under it (or the X
// connection lost) ends it at once after one line on the console, with status 0,
// rather than through Xlib's exit, whose exit handlers would make X requests on the
// dead window and hang. Call once both windows exist.
void endWhenClosedFromOutside();
