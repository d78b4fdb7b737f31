#include "imageopen/ImageIO.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <sys/stat.h>

#include <cstdio>
#include <iostream>

#include "imageopen/InstalledImages.h"

std::vector<std::string> searchDirectories;

namespace {

// Reports the newest pending decoder error, one line per check. A failed load can
// leave dozens of codes stacked; the older ones say nothing new, so they are
// dropped instead of surfacing one by one in later, unrelated loads.
#define CHECK_DEVIL_ERROR() reportDevilError(__FILE__, __LINE__)

void reportDevilError(const char* file, int line)
{
    const ILenum code = ilGetError();
    if (code == IL_NO_ERROR) return;
    std::cerr << "DevIL Error: " << iluErrorString(code) << " (File: " << file << ", line " << line
              << ")" << std::endl;
    while (ilGetError() != IL_NO_ERROR) {
    }
}

bool isReadableRegularFile(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    std::fclose(file);
    return true;
}

// What the decoder must hand over for one pixel type.
template <typename T>
struct PixelFormat;

template <>
struct PixelFormat<MyAlgebra::vec3> {
    static constexpr ILenum format = IL_RGB;
};

template <>
struct PixelFormat<float> {
    static constexpr ILenum format = IL_LUMINANCE;
};

void refuse(const char* name, const std::string& why)
{
    std::cerr << "ImageIO::load: refused " << name << ": " << why << std::endl;
}

// Copies the bound, converted decoder image into `image`, or says why not.
template <typename T>
bool adoptDecodedPixels(ImageRect<T>& image, const char* name)
{
    const int width = ilGetInteger(IL_IMAGE_WIDTH);
    const int height = ilGetInteger(IL_IMAGE_HEIGHT);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (!ImageRect<T>::sizeIsUsable(width, height)) {
        refuse(name, "its size " + size + " is not a usable picture size");
        return false;
    }
    const auto* pixels = reinterpret_cast<const T*>(ilGetData());
    if (!pixels || ilGetInteger(IL_IMAGE_BPP) != static_cast<int>(sizeof(T))) {
        refuse(name, "the decoder gave no float pixels for it");
        return false;
    }
    if (!image.assign(width, height, pixels)) {
        refuse(name, "cannot allocate memory for its " + size + " pixels");
        return false;
    }
    return true;
}

template <typename T>
bool loadImage(ImageRect<T>& image, const char* name)
{
    CHECK_DEVIL_ERROR();
    ILuint decoded = 0;
    ilGenImages(1, &decoded);
    ilBindImage(decoded);
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);

    // Only ilLoadImage's own answer counts: after a failure the bound image still
    // reads as a tiny picture and even converts.
    const std::string path = findFile(name);
    if (!ilLoadImage(path.c_str())) {
        std::cerr << "ImageIO::load" << ": cannot open file: " << name << std::endl;
        ilDeleteImages(1, &decoded);
        return false;
    }
    const bool converted = ilConvertImage(PixelFormat<T>::format, IL_FLOAT) == IL_TRUE;
    ilDisable(IL_ORIGIN_SET);
    if (!converted) {
        std::cerr << "ImageIO::load" << ": cannot convert file: " << name << std::endl;
        ilDeleteImages(1, &decoded);
        return false;
    }
    const bool adopted = adoptDecodedPixels(image, name);
    ilDeleteImages(1, &decoded);
    if (!adopted) return false;

    std::cerr << "ImageIO::load" << ": file loaded: " << name << " (" << image.width << "x"
              << image.height << ")" << std::endl;
    CHECK_DEVIL_ERROR();
    return true;
}

}  // namespace

void initImageDecoder()
{
    static bool started = false;
    if (started) return;
    started = true;
    ilInit();
    iluInit();
    searchDirectories = {"..", "../..", "../../..", "images", "../images", "../../images"};
    for (const std::string& folder : installedImageFolders()) searchDirectories.push_back(folder);
}

std::string findFile(const std::string& name)
{
    for (const std::string& directory : searchDirectories) {
        const std::string candidate = directory + "/" + name;
        if (isReadableRegularFile(candidate)) return candidate;
    }
    if (isReadableRegularFile(name)) return name;
    std::printf("file not found: %s\n", name.c_str());
    std::fflush(stdout);
    return std::string();
}

namespace ImageIO {

bool load(ImageRect<MyAlgebra::vec3>& image, const char* name)
{
    return loadImage(image, name);
}

bool load(ImageRect<float>& image, const char* name)
{
    return loadImage(image, name);
}

}  // namespace ImageIO
