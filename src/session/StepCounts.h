#pragma once

#include <cstddef>
#include <vector>

// The step counter ("Steps: n") of every state the undo history can go to, so that an
// undo or a redo shows the count its state had.
class StepCounts {
public:
    // A history with no steps, its one state at `count`.
    void restart(int count);
    // A step was kept with the counter at `count`; what could have been redone is gone.
    // `states` is how many states the history holds now (the oldest go when it is full).
    void keep(int count, std::size_t states);
    // The count of the state `move` steps away (-1 undo, +1 redo), which becomes the
    // present one; `current` when the history knows no such state.
    int move(int move, int current);

private:
    std::vector<int> counts;
    std::size_t present = 0;
};
