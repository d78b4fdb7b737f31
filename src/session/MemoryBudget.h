#pragma once

#include <string>

// What a photograph costs the whole job, in bytes a pixel, as the tool holds it: the
// numbers live here and nowhere else, and a load checks them before anything of the
// new photograph is allocated or the old one replaced.
//
// Measured on a 12-Mpx photograph (resident memory, /proc/self/status VmRSS), and
// counted from the arrays themselves:
//   - decoded photograph, kept for Init and the before view:   3 floats     12
//   - the model: rgb, lab, labReference (3 x 12), degree, rate, mask, detail, the
//     pending paint and the next degrees (6 x 4), the 8-bit texture copy (4)       64
//   - a save at its peak: the current colours as floats and the 8-bit rows         15
//   - the window tool only: the GL texture (4) and the undo history's copy of
//     lab, degree, rate, mask and detail (28)                                      32
struct MemoryBudget {
    static constexpr long long photographBytes = 12;
    static constexpr long long modelBytes = 64;
    static constexpr long long saveBytes = 15;
    static constexpr long long textureBytes = 4;
    static constexpr long long undoCopyBytes = 28;

    bool texture = false;   // a window shows the picture
    bool undoCopy = false;  // an undo history is kept

    long long bytesPerPixel() const;
    long long bytesFor(int width, int height) const;
    // Why a photograph of this size cannot be taken with availableBytes of memory ("" when
    // it can; availableBytes < 0, unknown, is not checked), with the sizes of its parts:
    // "its size WxH needs N MB (photograph ..., model ..., ...), more than the M MB of
    // memory available".
    std::string refusal(int width, int height, long long availableBytes) const;
};
