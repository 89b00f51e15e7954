// Appending the log text to a file on Windows: whole or not at all, under
// names in the operator's own script.
#include <gtest/gtest.h>
#include <windows.h>

#include "WineSupport.h"
#include "capture/logstore/LogFile.h"
#include "tests/support/CaptureSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

LogBuffer Lines(std::initializer_list<std::string_view> messages)
{
    LogBuffer buffer;
    for (const std::string_view message : messages)
        buffer.Add("0000000001", message);
    return buffer;
}

std::string Utf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

TEST(LogFile, AppendsEveryLineWithItsLineEnd)
{
    TempDir dir;
    const fs::path file = dir.path() / "081226_120000.log";
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"first", "second"})), 0u);
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"third"})), 0u);
    EXPECT_EQ(ReadFile(file), "0000000001: first\r\n0000000001: second\r\n0000000001: third\r\n");
}

TEST(LogFile, FolderInCyrillicIsTakenAsUtf8)
{
    TempDir dir;
    const fs::path folder = dir.path() / fs::path(u8"Журнал");
    ASSERT_TRUE(fs::create_directory(folder));
    const fs::path file = folder / "081226_120000.log";
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"line"})), 0u);
    EXPECT_EQ(ReadFile(file), "0000000001: line\r\n");
}

TEST(LogFile, MissingFolderIsReportedAndNothingIsMade)
{
    TempDir dir;
    const fs::path file = dir.path() / "absent" / "081226_120000.log";
    EXPECT_EQ(AppendLogFile(Utf8(file), Lines({"line"})), uint32_t{ERROR_PATH_NOT_FOUND});
    EXPECT_FALSE(fs::exists(file));
}

TEST(LogFile, FileHeldByAnotherProgramIsLeftAsItWas)
{
    TempDir dir;
    const fs::path file = dir.path() / "081226_120000.log";
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"kept"})), 0u);
    // An editor that opened the file without sharing it.
    const HANDLE holder = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AppendLogFile(Utf8(file), Lines({"lost"})), uint32_t{ERROR_SHARING_VIOLATION});
    ASSERT_TRUE(CloseHandle(holder));
    EXPECT_EQ(ReadFile(file), "0000000001: kept\r\n");
}

// The journal's writer syncs a log through the handle its write left open,
// while the capture thread may append to the same second's file again and
// a viewer may read it.
TEST(LogFile, IsAppendedAgainAndReadWhileTheJournalHoldsItForItsSync)
{
    TempDir dir;
    const fs::path file = dir.path() / "081226_120000.log";
    WrittenLog held;
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"first"}), held), 0u);
    const HANDLE viewer =
        CreateFileW(file.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AppendLogFile(Utf8(file), Lines({"second"})), 0u);
    ASSERT_TRUE(CloseHandle(viewer));
    EXPECT_EQ(held.Sync(), 0u);
    EXPECT_EQ(held.Close(), 0u);
    EXPECT_EQ(ReadFile(file), "0000000001: first\r\n0000000001: second\r\n");
}

}  // namespace
