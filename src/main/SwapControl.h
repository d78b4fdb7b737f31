#pragma once

// Makes buffer swaps of the current GLX drawable stop waiting for the vertical
// retrace, through the first swap-control extension the server lists; does
// nothing when none is listed.
void disableSwapInterval();
