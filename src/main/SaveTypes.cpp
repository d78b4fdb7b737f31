#include "main/SaveTypes.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace {

std::string lowerExtension(const std::string& name)
{
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool typeHas(const SaveType& type, const std::string& extension)
{
    return std::any_of(type.extensions.begin(), type.extensions.end(), [&](const char* e) { return extension == e; });
}

bool writableFolder(const std::string& folder)
{
    std::error_code error;
    return !folder.empty() && std::filesystem::is_directory(folder, error) && access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

const std::vector<SaveType>& imageSaveTypes()
{
    static const std::vector<SaveType> types = {
        {"PNG image", {".png"}}, {"JPEG image", {".jpg", ".jpeg"}}, {"TIFF image", {".tif", ".tiff"}},
        {"BMP image", {".bmp"}}, {"TGA image", {".tga"}},
    };
    return types;
}

const std::vector<SaveType>& degreeSaveTypes()
{
    static const std::vector<SaveType> types = {{"16-bit grey PNG", {".png"}}};
    return types;
}

std::string nameWithTypeExtension(const std::string& name, const SaveType& type, const std::vector<SaveType>& offered)
{
    const std::string extension = lowerExtension(name);
    if (typeHas(type, extension))
        return name;
    const bool otherType =
        std::any_of(offered.begin(), offered.end(), [&](const SaveType& t) { return typeHas(t, extension); });
    const std::string stem = otherType ? name.substr(0, name.size() - extension.size()) : name;
    return stem + type.extensions.front();
}

std::string saveStartFolder(const std::string& photographFolder, const std::string& lastSavedFolder,
                            const std::string& picturesFolder, const std::string& home)
{
    if (writableFolder(photographFolder))
        return photographFolder;
    std::error_code error;
    if (!lastSavedFolder.empty() && std::filesystem::is_directory(lastSavedFolder, error))
        return lastSavedFolder;
    if (!picturesFolder.empty() && std::filesystem::is_directory(picturesFolder, error))
        return picturesFolder;
    return home;
}
