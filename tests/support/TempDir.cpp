#include "TempDir.h"

#include <algorithm>
#include <random>

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir()
{
    // A random name that nobody holds yet, on every platform.
    std::random_device random;
    do
        path_ = fs::temp_directory_path() / ("vektamon-test-" + std::to_string(random()));
    while (!fs::create_directory(path_));
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::logPath() const
{
    const std::u8string text = (path_ / "").u8string();
    return {text.begin(), text.end()};
}

std::vector<fs::path> TempDir::LogFiles() const
{
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(path_))
        if (entry.path().extension() == ".log")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testing_support
