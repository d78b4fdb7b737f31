#include "platform/InstalledImages.h"

#include <filesystem>
#include <system_error>

std::vector<std::string> installedImageFolders()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path data = executable.parent_path().parent_path() / "share" / "weathering";
    std::vector<std::string> folders;
    for (const std::filesystem::path& folder : {data, data / "images"})
        if (std::filesystem::is_directory(folder, error)) folders.push_back(folder.string());
    return folders;
}
