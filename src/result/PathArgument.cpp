#include "result/PathArgument.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

std::string formatPathArgument(const std::vector<Point2f>& imagePoints, int height)
{
    std::string text;
    for (const Point2f& point : imagePoints) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(static_cast<int>(point.x)) + "," +
            std::to_string(modelRowOf(static_cast<int>(point.y), height));
    }
    return text;
}

namespace {

// A whole number that fits an int, the whole of `text`.
bool readCoordinate(const std::string& text, int& value)
{
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-'))
        return false;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < -2147483647L || number > 2147483647L)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool readPoint(const std::string& token, TopDownPixel& point)
{
    const std::size_t comma = token.find(',');
    if (comma == std::string::npos)
        return false;
    return readCoordinate(token.substr(0, comma), point.x) && readCoordinate(token.substr(comma + 1), point.y);
}

}  // namespace

bool parsePathArgument(const std::string& text, std::vector<TopDownPixel>& points, std::string& reason)
{
    points.clear();
    std::istringstream words(text);
    std::string token;
    while (words >> token) {
        TopDownPixel point{};
        if (!readPoint(token, point)) {
            reason = "bad point \"" + token + "\" in --path (expected X,Y in whole pixels)";
            return false;
        }
        points.push_back(point);
    }
    return true;
}
