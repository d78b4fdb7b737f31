#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "background/JobProgress.h"

// A picture handed to an encoder: samples interleaved, rows stored bottom to top
// as every pixel array of the tool keeps them. 8-bit samples are bytes, 16-bit
// samples native std::uint16_t. Encoders ask for rows in the order their format
// stores them, so nothing is flipped or copied whole.
struct PictureRows {
    const void* pixels = nullptr;
    int width = 0;
    int height = 0;
    int channels = 3;       // 1 grey, 3 RGB
    int bitsPerSample = 8;  // 8 or 16
    // What made the picture, kept in the file where the format has room for text.
    std::string description;
    // A save in the background: told how many rows are written, and may ask the encoder
    // to give up. Null: no one watches.
    JobProgress* job = nullptr;

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * channels * (bitsPerSample / 8); }
    const std::uint8_t* rowFromBottom(int y) const
    {
        return static_cast<const std::uint8_t*>(pixels) + rowBytes() * static_cast<std::size_t>(y);
    }
    const std::uint8_t* rowFromTop(int y) const { return rowFromBottom(height - 1 - y); }
    bool isRgb8() const { return channels == 3 && bitsPerSample == 8; }
    // Encoders call this before each row; false when the save was cancelled.
    bool carryOn(int rowsWritten) const
    {
        if (job == nullptr)
            return true;
        job->report(height > 0 ? static_cast<float>(rowsWritten) / static_cast<float>(height) : 1.0f);
        job->giveWay();
        return !job->cancelled();
    }
};

// The program and version that wrote a file, for the formats' "software" fields.
inline const char* writingSoftware()
{
    return "weathering " WEATHERING_VERSION;
}
