#pragma once

// Between two passes OpenMP's threads by default keep a core busy for some milliseconds,
// waiting for the next pass; in the window tool that core is what GL and the X server
// need (steps/s halved at 4 Mpx). OMP_WAIT_POLICY=passive makes them sleep instead, but
// libgomp reads it when it is loaded: when it is not set, the tool runs itself again
// with it. Returns only when it did not (it was set, or the new start failed).
void restartWithSleepingThreads(char** argv);
