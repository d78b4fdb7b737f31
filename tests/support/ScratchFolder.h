#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

// A fresh folder under /tmp for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char pattern[] = "/tmp/weathering-test-XXXXXX";
        if (mkdtemp(pattern))
            root = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code error;
        std::filesystem::permissions(root, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     error);
        std::filesystem::remove_all(root, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path(const std::string& name) const { return root + "/" + name; }
    const std::string& folder() const { return root; }

    // Names of everything in the folder, to find left-over temporary files.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(root, error))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::string root;
};

inline std::string fileContents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeContents(const std::string& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}
