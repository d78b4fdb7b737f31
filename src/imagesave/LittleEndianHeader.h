#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagesave/PictureRows.h"

// The two simple formats' common parts: a header of little-endian fields, and
// pixel rows stored bottom row first as blue, green, red.
class LittleEndianHeader {
public:
    void put8(std::uint8_t value) { bytes.push_back(value); }
    void put16(std::uint32_t value)
    {
        put8(static_cast<std::uint8_t>(value));
        put8(static_cast<std::uint8_t>(value >> 8));
    }
    void put32(std::uint32_t value)
    {
        put16(value & 0xFFFF);
        put16(value >> 16);
    }
    void putText(const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    const std::vector<std::uint8_t>& contents() const { return bytes; }

private:
    std::vector<std::uint8_t> bytes;
};

// Every write checked; the first failure named.
inline bool writeAll(std::FILE* out, const void* data, std::size_t size, std::string& reason)
{
    if (std::fwrite(data, 1, size, out) == size)
        return true;
    reason = errno != 0 ? std::strerror(errno) : "write error";
    return false;
}

// The rows bottom first, each as B, G, R and padded with zeros to a multiple of
// `alignment` bytes.
inline bool writeBgrRowsFromBottom(std::FILE* out, const PictureRows& picture, std::size_t alignment,
                                   std::string& reason)
{
    const std::size_t used = static_cast<std::size_t>(picture.width) * 3;
    std::vector<std::uint8_t> row((used + alignment - 1) / alignment * alignment, 0);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* rgb = picture.rowFromBottom(y);
        for (std::size_t i = 0; i < used; i += 3) {
            row[i] = rgb[i + 2];
            row[i + 1] = rgb[i + 1];
            row[i + 2] = rgb[i];
        }
        if (!writeAll(out, row.data(), row.size(), reason))
            return false;
    }
    return true;
}
