// Reads candump -l files: "(seconds.fraction) interface ID#DATA" a line.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "Simulator.h"

namespace vektasim {

namespace {

constexpr size_t kStandardIdDigits = 3;
constexpr size_t kExtendedIdDigits = 8;
constexpr uint32_t kMaxStandardId = 0x7FF;
constexpr uint32_t kMaxExtendedId = 0x1FFFFFFF;
constexpr size_t kMaxSecondsDigits = 12;
constexpr size_t kMicrosecondDigits = 6;
constexpr uint64_t kMicrosecondsPerSecond = 1000000;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool HexValue(char c, uint32_t &value)
{
    if (IsDigit(c))
        value = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
        value = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
        value = static_cast<uint32_t>(c - 'a' + 10);
    else
        return false;
    return true;
}

bool ParseHex(std::string_view text, uint32_t &value)
{
    value = 0;
    for (char c : text) {
        uint32_t digit = 0;
        if (!HexValue(c, digit))
            return false;
        value = value << 4 | digit;
    }
    return !text.empty();
}

bool ParseDigits(std::string_view text, uint64_t &value)
{
    value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return !text.empty();
}

// "(1626905042.645596)" in whole microseconds, without the rounding of a double.
bool ParseStamp(std::string_view text, uint64_t &us)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return false;
    text = text.substr(1, text.size() - 2);
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot > kMaxSecondsDigits)
        return false;
    std::string fraction(text.substr(dot + 1));
    if (fraction.empty())
        return false;
    fraction.resize(kMicrosecondDigits, '0');
    uint64_t seconds = 0;
    uint64_t micros = 0;
    if (!ParseDigits(text.substr(0, dot), seconds) || !ParseDigits(fraction, micros))
        return false;
    // Digits past the microsecond must still be digits.
    for (char c : text.substr(dot + 1))
        if (!IsDigit(c))
            return false;
    us = seconds * kMicrosecondsPerSecond + micros;
    return true;
}

bool ParseIdentifier(std::string_view text, CanFrame &frame)
{
    uint32_t id = 0;
    if (!ParseHex(text, id))
        return false;
    if (text.size() == kStandardIdDigits && id <= kMaxStandardId)
        frame.extended = false;
    else if (text.size() == kExtendedIdDigits && id <= kMaxExtendedId)
        frame.extended = true;
    else
        return false;
    frame.id = id;
    return true;
}

bool ParseData(std::string_view text, CanFrame &frame)
{
    if (text.size() % 2 != 0 || text.size() / 2 > sizeof frame.data)
        return false;
    frame.length = static_cast<uint8_t>(text.size() / 2);
    for (size_t i = 0; i < frame.length; ++i) {
        uint32_t byte = 0;
        if (!ParseHex(text.substr(2 * i, 2), byte))
            return false;
        frame.data[i] = static_cast<uint8_t>(byte);
    }
    return true;
}

std::string Quoted(std::string_view text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

// One line into a frame and its absolute stamp; problem says what is wrong.
bool ParseLine(const std::string &line, CanFrame &frame, uint64_t &stampUs, std::string &problem)
{
    std::istringstream fields(line);
    std::string stamp, iface, body, extra;
    if (!(fields >> stamp >> iface >> body) || (fields >> extra)) {
        problem = "expected \"(time) interface ID#DATA\"";
        return false;
    }
    if (!ParseStamp(stamp, stampUs)) {
        problem = "bad time stamp " + Quoted(stamp);
        return false;
    }
    const size_t hash = body.find('#');
    if (hash == std::string::npos) {
        problem = "missing '#' in " + Quoted(body);
        return false;
    }
    const std::string_view view(body);
    if (!ParseIdentifier(view.substr(0, hash), frame)) {
        problem = "bad identifier " + Quoted(view.substr(0, hash));
        return false;
    }
    if (!ParseData(view.substr(hash + 1), frame)) {
        problem = "bad data " + Quoted(view.substr(hash + 1));
        return false;
    }
    return true;
}

bool IsBlank(const std::string &line)
{
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

}  // namespace

bool LoadCandump(const std::string &path, std::vector<CanFrame> &frames, std::string &error)
{
    frames.clear();
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::string line;
    uint64_t firstUs = 0;
    uint64_t lastUs = 0;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (IsBlank(line))
            continue;
        CanFrame frame;
        uint64_t stampUs = 0;
        std::string problem;
        if (!ParseLine(line, frame, stampUs, problem)) {
            error = path + ":" + std::to_string(number) + ": " + problem;
            return false;
        }
        if (frames.empty())
            firstUs = lastUs = stampUs;
        if (stampUs < lastUs) {
            error = path + ":" + std::to_string(number) + ": time stamp goes backwards";
            return false;
        }
        lastUs = stampUs;
        frame.timeUs = stampUs - firstUs;
        frames.push_back(frame);
    }
    if (in.bad()) {
        error = path + ": read failed";
        return false;
    }
    return true;
}

}  // namespace vektasim
