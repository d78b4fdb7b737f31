#include "main/KeyTable.h"

const KeyAction keyTable[] = {
    {"left click", "add a path point (Weathering Points)"},
    {"right click", "take back the newest path point"},
    {"left drag", "paint weathering (Weaterhing Brush)"},
    {"middle drag", "draw a green outline"},
    {"c", "clear the outline"},
    {"b (held)", "show the photograph as loaded"},
    {"mouse wheel", "zoom about the pointer"},
    {"+ and -", "zoom about the centre"},
    {"0", "show the whole photograph"},
    {"1", "one photograph pixel per screen pixel"},
    {"space + left drag", "move the picture"},
    {"arrow keys", "move the picture"},
    {"ctrl+Z", "undo"},
    {"ctrl+shift+Z or ctrl+Y", "redo"},
    {"ctrl+S", "Save Image"},
    {"? or F1", "show or hide this list"},
    {"q or Escape", "quit"},
};

const std::size_t keyTableSize = sizeof(keyTable) / sizeof(keyTable[0]);
