#include "session/StepCounts.h"

void StepCounts::restart(int count)
{
    counts.assign(1, count);
    present = 0;
}

void StepCounts::keep(int count, std::size_t states)
{
    counts.resize(present + 1);
    counts.push_back(count);
    ++present;
    if (counts.size() > states) {
        const std::size_t gone = counts.size() - states;
        counts.erase(counts.begin(), counts.begin() + static_cast<std::ptrdiff_t>(gone));
        present -= gone;
    }
}

int StepCounts::move(int move, int current)
{
    present = static_cast<std::size_t>(static_cast<int>(present) + move);
    return present < counts.size() ? counts[present] : current;
}
