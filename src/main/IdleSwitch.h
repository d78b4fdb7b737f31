#pragma once

// GLUT's idle callback runs only while there is work (a running simulation, panel frames
// still to draw, a picture to bring up to date), so that the tool uses no processor time
// while nothing happens. Input and changes bring it back.
class IdleSwitch {
public:
    // Registers work as the idle callback.
    void install(void (*work)());
    // Takes the idle callback away until the next wake.
    void rest();
    // Registers the idle callback again if it rests.
    void wake();

private:
    void (*idleWork)() = nullptr;
    bool resting = false;
};
