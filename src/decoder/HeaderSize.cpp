#include "decoder/HeaderSize.h"

#include <cctype>
#include <cstring>

namespace {

unsigned littleEndian16(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8u);
}

long long littleEndian32(const std::uint8_t* p)
{
    const std::uint32_t value = p[0] | (p[1] << 8u) | (p[2] << 16u) | (static_cast<std::uint32_t>(p[3]) << 24u);
    return static_cast<std::int32_t>(value);
}

long long bigEndian32(const std::uint8_t* p)
{
    return (static_cast<long long>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// A PNM number after blanks and comments; false at the end of the data.
bool pnmNumber(FileBytes file, std::size_t& at, long long& number)
{
    while (at < file.size && (std::isspace(file.data[at]) || file.data[at] == '#')) {
        if (file.data[at] == '#')
            while (at < file.size && file.data[at] != '\n')
                ++at;
        else
            ++at;
    }
    if (at >= file.size || !std::isdigit(file.data[at]))
        return false;
    number = 0;
    while (at < file.size && std::isdigit(file.data[at]) && number < (1LL << 40))
        number = number * 10 + (file.data[at++] - '0');
    return true;
}

}  // namespace

bool declaredSize(FileBytes file, bool tgaByName, long long& width, long long& height)
{
    const std::uint8_t* d = file.data;
    if (file.size >= 2 && d[0] == 'P' && d[1] >= '1' && d[1] <= '6') {
        std::size_t at = 2;
        return pnmNumber(file, at, width) && pnmNumber(file, at, height);
    }
    if (file.size >= 26 && d[0] == 'B' && d[1] == 'M') {
        const bool core = littleEndian32(d + 14) == 12;  // the oldest header: 16-bit sides
        width = core ? littleEndian16(d + 18) : littleEndian32(d + 18);
        height = core ? littleEndian16(d + 20) : littleEndian32(d + 22);
        if (height < 0)
            height = -height;  // negative: stored top row first
        return true;
    }
    if (file.size >= 10 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) {
        width = littleEndian16(d + 6);
        height = littleEndian16(d + 8);
        return true;
    }
    if (file.size >= 22 && std::memcmp(d, "8BPS", 4) == 0) {
        height = bigEndian32(d + 14);
        width = bigEndian32(d + 18);
        return true;
    }
    if (tgaByName && file.size >= 18) {
        width = littleEndian16(d + 12);
        height = littleEndian16(d + 14);
        return true;
    }
    return false;
}
