#include "LogFixtures.h"

#include <fstream>

namespace vektalog_test {

std::string Lines(std::initializer_list<std::string_view> lines)
{
    std::string text;
    for (const std::string_view line : lines)
        text.append(line).append("\r\n");
    return text;
}

std::vector<std::string> WriteLogs(const testing_support::TempDir &dir, const std::vector<LogFileText> &files)
{
    std::vector<std::string> paths;
    for (const LogFileText &file : files) {
        const std::string path = (dir.path() / file.name).string();
        std::ofstream(path, std::ios::binary) << file.text;
        paths.push_back(path);
    }
    return paths;
}

std::string WithDir(std::string text, const testing_support::TempDir &dir)
{
    const std::string marker = "{dir}";
    const std::string folder = (dir.path() / "").string();
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + folder.size()))
        text.replace(at, marker.size(), folder);
    return text;
}

}  // namespace vektalog_test
