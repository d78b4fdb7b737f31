#pragma once

#include <string>
#include <vector>

// Where an installed tool finds its default photograph and mask, relative to its
// own executable (<prefix>/bin): <prefix>/share/weathering, where the photograph's
// name "./images/image1.jpg" resolves, and <prefix>/share/weathering/images, where
// the mask's bare name does. Only folders that exist are listed.
std::vector<std::string> installedImageFolders();
