#pragma once

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// While it lives, everything written to std::cerr still goes to the console, and its
// lines are kept: the reason given for a failure, to show in the window as well.
class ErrorLineCapture {
public:
    ErrorLineCapture();
    ~ErrorLineCapture();
    ErrorLineCapture(const ErrorLineCapture&) = delete;
    ErrorLineCapture& operator=(const ErrorLineCapture&) = delete;

    // The last line that starts with `prefix` (any line for ""), without the prefix;
    // empty when there is none.
    std::string lastLine(const std::string& prefix = "") const;

private:
    struct Tee : std::streambuf {
        std::streambuf* console = nullptr;
        std::string line;
        std::vector<std::string> lines;

        int overflow(int c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;
        void keep(char c);
    };
    Tee tee;
};
