#pragma once

#include <string>

// The folder of time-lapse frames: frame_00000.png, frame_00001.png, ... A second
// run into the same folder must not leave the first run's later frames among its
// own, so frames already there are counted first and cleared only when asked.

// "frame_00042.png" for 42.
std::string frameName(int index);

// True for the names frameName gives (five or more digits).
bool isFrameName(const std::string& name);

// How many frames the folder holds; 0 when it does not exist.
int framesIn(const std::string& folder);

// Removes every frame in the folder and nothing else. False with a reason.
bool clearFrames(const std::string& folder, std::string& reason);
