#pragma once

#include <string>
#include <vector>

// Where the tool finds its default photograph and mask wherever it is started,
// relative to its own executable. Installed (<prefix>/bin): <prefix>/share/weathering,
// where the photograph's name "./images/image1.jpg" resolves, and
// <prefix>/share/weathering/images, where the mask's bare name does. Run from the
// folder it was built in: the source tree and its images/ folder. Only folders
// that exist are listed.
std::vector<std::string> installedImageFolders();
