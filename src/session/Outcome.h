#pragma once

#include <string>
#include <utility>

// What became of an action that can fail: done, or not done for a reason a person can
// read. The front ends print or show the reason; the action itself has changed nothing
// when it was not done.
class Outcome {
public:
    static Outcome success() { return Outcome(true, std::string()); }
    static Outcome failure(std::string reason) { return Outcome(false, std::move(reason)); }

    bool done() const { return succeeded; }
    // Empty when done, and when the failure had nothing more to say.
    const std::string& reason() const { return why; }

private:
    Outcome(bool done, std::string reason) : succeeded(done), why(std::move(reason)) {}
    bool succeeded;
    std::string why;
};
