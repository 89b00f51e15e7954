// Where a Windows copy that may not write beside itself keeps its settings and
// logs: the user's local application data folder, as the shell tells it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/FilesFolder.h"
#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

std::string ForwardSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

TEST(UserFolder, IsTheLocalApplicationDataFolder)
{
    const char *localAppData = std::getenv("LOCALAPPDATA");
    ASSERT_NE(localAppData, nullptr);
    EXPECT_EQ(UserFilesFolder(), ForwardSlashes(localAppData) + "/vektamon/");
}

TEST(UserFolder, IsMadeWithItsParents)
{
    TempDir dir;
    const std::string folder = ForwardSlashes(dir.path().string()) + "/AppData/Local/vektamon/";
    EXPECT_FALSE(IsWritableFolder(folder));
    ASSERT_TRUE(MakeUserFolder(folder));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(IsWritableFolder(folder));
    EXPECT_TRUE(MakeUserFolder(folder)) << "a folder already there";
}

TEST(UserFolder, FileInTheWayIsNoFolder)
{
    TempDir dir;
    const fs::path file = dir.path() / "vektamon";
    std::ofstream(file) << "x";
    EXPECT_FALSE(IsWritableFolder(file.string()));
    EXPECT_FALSE(MakeUserFolder(file.string()));
}

}  // namespace
