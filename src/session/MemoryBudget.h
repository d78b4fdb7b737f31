#pragma once

#include <string>

// What a photograph costs the whole job, in bytes a pixel, as the tool holds it: the
// numbers live here and nowhere else, and a load checks them before anything of the
// new photograph is allocated or the old one replaced.
//
// Counted from the arrays themselves, as the most a job may come to hold
// (bench/resident_memory.sh: the window tool holds 62 bytes a pixel once a 12-Mpx
// photograph is open; some arrays are touched only once the work starts, and the undo
// copy grows with the first changes):
//   - the model: rgb, lab, labReference (3 x 12), degree, rate, mask, detail, the
//     pending paint and the next degrees (6 x 4), the 8-bit texture copy (4)       64
//   - passing through, the larger of a load's float photograph (12), freed once the
//     model is built, and a save's float colours and 8-bit rows (15)               15
//   - the window tool only: the GL texture (4) and the undo history's copy of
//     lab, degree, rate, mask, detail and the degrees still to paint (32), taken
//     tile by tile as changes come, of what is not one value or the photograph     36
// A job may take at most nine tenths of the memory available: the rest is for the
// system and the programs beside it, and the available figure is only an estimate.
struct MemoryBudget {
    static constexpr long long modelBytes = 64;
    static constexpr long long passingBytes = 15;
    static constexpr long long textureBytes = 4;
    static constexpr long long undoCopyBytes = 32;

    bool texture = false;   // a window shows the picture
    bool undoCopy = false;  // an undo history is kept

    long long bytesPerPixel() const;
    long long bytesFor(int width, int height) const;
    // The part of availableBytes a job may take.
    static long long usable(long long availableBytes) { return availableBytes / 10 * 9; }
    // Why a photograph of this size cannot be taken with availableBytes of memory ("" when
    // it can; availableBytes < 0, unknown, is not checked), with the sizes of its parts:
    // "its size WxH needs N MB (model ..., loading and saving ..., ...), more than the M MB
    // of the A MB of memory available a job may take".
    std::string refusal(int width, int height, long long availableBytes) const;
};
