#pragma once

#include <string>
#include <vector>

#include "main/SaveTypes.h"

// Modal "Select input file" chooser. Returns the chosen file's full path, or an
// empty string when the user cancels. The current directory and the current
// GLUT window are the same afterwards as before. `previousChoice`, when given, is
// the file the chooser starts on.
std::string openFileDialog(const std::string& previousChoice);

// Modal save chooser with the given title, starting in `folder` (the current
// directory when empty) with `suggestedName` filled in, offering `types` (the first
// chosen). The name takes the extension of the chosen type; asks before replacing a
// file. Returns the chosen full path, or an empty string when the user cancels.
std::string saveFileDialog(const char* title, const std::string& folder, const std::string& suggestedName,
                           const std::vector<SaveType>& types);

// The user's pictures folder (XDG), else the home folder.
std::string picturesFolder();
std::string homeFolder();
