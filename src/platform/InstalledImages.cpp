#include "platform/InstalledImages.h"

#include <filesystem>
#include <system_error>

namespace {

// A program run from the build folder it was built in: its images are the
// source tree's.
bool runsFromItsBuildFolder(const std::filesystem::path& executable)
{
    std::error_code error;
    return std::filesystem::equivalent(executable.parent_path(), WEATHERING_BUILD_PROGRAM_DIR, error);
}

}  // namespace

std::vector<std::string> installedImageFolders()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const std::filesystem::path data = runsFromItsBuildFolder(executable)
        ? std::filesystem::path(WEATHERING_BUILD_SOURCE_DIR)
        : executable.parent_path().parent_path() / "share" / "weathering";
    std::vector<std::string> folders;
    for (const std::filesystem::path& folder : {data, data / "images"})
        if (std::filesystem::is_directory(folder, error))
            folders.push_back(folder.string());
    return folders;
}
