#include "PortList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <tuple>

#include "capture/SerialDevice.h"
#include "common/AsciiText.h"

namespace {

constexpr size_t kMaxComNameLength = 6;

// The system's list also names other devices; a COM port's name is short.
bool IsPortListComName(const std::string &name)
{
    return name.size() <= kMaxComNameLength && StartsWithIgnoringCase(name, kComPrefix);
}

// COM ports by number's value (COM3 before COM10); a name without a number
// after all that have one.
auto ComSortKey(const std::string &name)
{
    const std::string_view number = std::string_view(name).substr(kComPrefix.size());
    const bool numbered = !number.empty() && number.find_first_not_of("0123456789") == std::string_view::npos;
    const size_t significant = numbered ? number.find_first_not_of('0') : std::string_view::npos;
    const std::string_view value =
        significant == std::string_view::npos ? std::string_view() : number.substr(significant);
    return std::tuple(!numbered, value.size(), value, name);
}

// Serial tty names by group, in the order the list shows the groups.
constexpr std::string_view kTtyPrefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
constexpr size_t kUartGroup = 2;
constexpr char kUnknownUartType[] = "0";

struct TtyName {
    size_t group;
    std::string number;  // without leading zeros
    std::string text;

    // Natural order: by group, then by the number's value, then by name.
    bool operator<(const TtyName &other) const
    {
        return std::tuple(group, number.size(), number, text) <
               std::tuple(other.group, other.number.size(), other.number, other.text);
    }
};

// A serial tty name: one of the prefixes and a decimal number.
std::optional<TtyName> ParseTtyName(const std::string &text)
{
    for (size_t group = 0; group < std::size(kTtyPrefixes); ++group) {
        const std::string_view prefix = kTtyPrefixes[group];
        if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string number = text.substr(prefix.size());
        if (number.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return TtyName{group, number.substr(std::min(number.find_first_not_of('0'), number.size() - 1)), text};
    }
    return std::nullopt;
}

// The kernel reports type 0 (unknown) for a ttyS without hardware.
bool HasUart(const std::filesystem::path &entry)
{
    std::ifstream file(entry / "type");
    std::string type;
    return file >> type && type != kUnknownUartType;
}

}  // namespace

std::vector<std::string> FilterComPorts(const std::vector<std::string> &deviceNames)
{
    std::vector<std::string> ports;
    for (const std::string &name : deviceNames)
        if (IsPortListComName(name))
            ports.push_back(name);
    std::stable_sort(ports.begin(), ports.end(),
                     [](const std::string &a, const std::string &b) { return ComSortKey(a) < ComSortKey(b); });
    return ports;
}

std::vector<std::string> SerialTtys(const std::string &classFolder)
{
    namespace fs = std::filesystem;
    std::vector<TtyName> found;
    std::error_code error;
    for (fs::directory_iterator it(classFolder, error), end; !error && it != end; it.increment(error)) {
        const std::optional<TtyName> name = ParseTtyName(it->path().filename().string());
        std::error_code ignored;
        if (name && fs::exists(it->path() / "device", ignored) && (name->group != kUartGroup || HasUart(it->path())))
            found.push_back(*name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (const TtyName &name : found)
        names.push_back(name.text);
    return names;
}
