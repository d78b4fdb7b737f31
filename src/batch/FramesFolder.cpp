#include "batch/FramesFolder.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>

std::string frameName(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05d.png", index);
    return name;
}

bool isFrameName(const std::string& name)
{
    const std::string prefix = "frame_", suffix = ".png";
    if (name.size() < prefix.size() + 5 + suffix.size())
        return false;
    if (name.compare(0, prefix.size(), prefix) != 0)
        return false;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < name.size() - suffix.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

namespace {

// Only regular files and links count: a folder named like a frame is someone else's.
bool isFrame(const std::filesystem::directory_entry& entry)
{
    std::error_code error;
    return isFrameName(entry.path().filename().string()) && !entry.is_directory(error);
}

}  // namespace

int framesIn(const std::string& folder)
{
    std::error_code error;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (isFrame(entry))
            ++count;
    return count;
}

bool clearFrames(const std::string& folder, std::string& reason)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!isFrame(entry))
            continue;
        std::error_code removal;
        if (!std::filesystem::remove(entry.path(), removal)) {
            reason = "cannot remove " + entry.path().string() + ": " + removal.message();
            return false;
        }
    }
    if (error && error != std::errc::no_such_file_or_directory) {
        reason = "cannot read folder " + folder + ": " + error.message();
        return false;
    }
    return true;
}
