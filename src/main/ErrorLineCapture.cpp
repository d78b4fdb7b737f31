#include "main/ErrorLineCapture.h"

#include <iostream>

ErrorLineCapture::ErrorLineCapture()
{
    tee.console = std::cerr.rdbuf(&tee);
}

ErrorLineCapture::~ErrorLineCapture()
{
    std::cerr.rdbuf(tee.console);
}

void ErrorLineCapture::Tee::keep(char c)
{
    if (c != '\n') {
        line += c;
        return;
    }
    if (!line.empty()) lines.push_back(line);
    line.clear();
}

std::string ErrorLineCapture::lastLine(const std::string& prefix) const
{
    for (auto it = tee.lines.rbegin(); it != tee.lines.rend(); ++it)
        if (it->compare(0, prefix.size(), prefix) == 0) return it->substr(prefix.size());
    return {};
}

int ErrorLineCapture::Tee::overflow(int c)
{
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    keep(static_cast<char>(c));
    return console->sputc(static_cast<char>(c));
}

std::streamsize ErrorLineCapture::Tee::xsputn(const char* s, std::streamsize n)
{
    for (std::streamsize i = 0; i < n; ++i) keep(s[i]);
    return console->sputn(s, n);
}

int ErrorLineCapture::Tee::sync()
{
    return console->pubsync();
}
