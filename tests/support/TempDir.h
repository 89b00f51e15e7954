// A temporary folder of a test's own, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    // The folder as UTF-8 with a trailing separator, as logPath holds it.
    std::string logPath() const;
    // The capture logs in the folder, in name order.
    std::vector<std::filesystem::path> LogFiles() const;

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
