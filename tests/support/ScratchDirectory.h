#pragma once

// For the loader's tests: a fresh folder under /tmp, and its removal.

#include <cstdlib>
#include <string>

// "/tmp/<prefix>-XXXXXX" made unique; empty when it could not be made.
inline std::string makeScratchDirectory(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern : std::string();
}

inline bool removeScratchDirectory(const std::string& path)
{
    return std::system(("rm -rf '" + path + "'").c_str()) == 0;
}
