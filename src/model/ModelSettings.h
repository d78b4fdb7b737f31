#pragma once

// The live control-panel values that the weathering operations read at every use.
// The application state owns one; tests fill their own.
struct ModelSettings {
    int dewethering = 0;      // 1 runs the weathering backwards
    float speed = 0.05f;      // step factor of one brush dab
    float brushSize = 10.0f;  // brush radius in image pixels
};
