// Where a Windows copy that may not write beside itself keeps its settings and
// logs: the user's local application data folder, as the shell tells it.
#include <gtest/gtest.h>
#include <windows.h>

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

// A program folder marked read-only sends the files to the user's folder.
TEST(UserFolder, TakesOverFromAReadOnlyProgramFolder)
{
    TempDir dir;
    const fs::path program = dir.path() / "program";
    fs::create_directory(program);
    ASSERT_TRUE(::SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string user = ForwardSlashes(dir.path().string()) + "/user/vektamon/";
    EXPECT_EQ(ChooseFilesFolder(program.string(), "", user), user);
    EXPECT_TRUE(fs::is_directory(user));
    ASSERT_TRUE(::SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_NORMAL));
}

}  // namespace
