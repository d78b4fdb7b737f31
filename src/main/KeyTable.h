#pragma once

#include <cstddef>

// Every key and mouse action of the window tool, in the order a newcomer needs them.
// The key overlay (? or F1), the man page's KEYS section and the README's key table
// all list exactly these; a test holds the last two to it.
struct KeyAction {
    const char* keys;    // as a person reads them: "ctrl+Z", "middle drag"
    const char* action;  // what it does, one short line
};

extern const KeyAction keyTable[];
extern const std::size_t keyTableSize;
