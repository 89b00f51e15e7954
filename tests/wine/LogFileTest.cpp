// Appending the log text to a file on Windows: whole or not at all, under
// names in the operator's own script.
#include <gtest/gtest.h>
#include <windows.h>

#include "WineSupport.h"
#include "capture/logstore/Journal.h"
#include "capture/logstore/LogFile.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/Waiting.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WaitFor;

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

// The journal's writer syncs a log through a handle of its own while the
// capture thread may append to it again.
TEST(LogFile, IsAppendedWhileTheJournalHoldsItForItsSync)
{
    TempDir dir;
    const fs::path file = dir.path() / "081226_120000.log";
    ASSERT_EQ(AppendLogFile(Utf8(file), Lines({"first"})), 0u);
    const HANDLE syncing =
        CreateFileW(file.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(syncing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AppendLogFile(Utf8(file), Lines({"second"})), 0u);
    ASSERT_TRUE(CloseHandle(syncing));
    EXPECT_EQ(ReadFile(file), "0000000001: first\r\n0000000001: second\r\n");
}

uint64_t SizeOf(const fs::path &file)
{
    // No read access: the journal's lock keeps readers out, not this.
    const HANDLE handle =
        CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size{};
    const BOOL ok = GetFileSizeEx(handle, &size);
    CloseHandle(handle);
    return ok ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// A viewer that keeps writers out of a written log stops its sync, and so
// the journal's report, but not the journal: the new lines still reach it,
// and the report clears once the viewer lets go.
TEST(LogFile, HeldByAViewerDuringItsSyncKeepsTheJournalGoing)
{
    TempDir dir;
    const fs::path file = dir.path() / "081226_120000.log";
    const LogBuffer written = Lines({"written"});
    ASSERT_EQ(AppendLogFile(Utf8(file), written), 0u);
    const HANDLE viewer = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);

    Journal journal(Utf8(dir.path()) + "\\");
    ASSERT_EQ(journal.HandOver(written, 0, true), 0u);
    journal.Restart(Utf8(file));
    const LogBuffer next = Lines({"after the write"});
    const fs::path journalFile = journal.Path();
    EXPECT_TRUE(WaitFor([&] { return journal.HandOver(next, next.TextBytes(), true) == ERROR_SHARING_VIOLATION; }));
    journal.HandOver(next, 0, true);
    EXPECT_TRUE(WaitFor([&] { return SizeOf(journalFile) == next.TextBytes(); }));

    ASSERT_TRUE(CloseHandle(viewer));
    EXPECT_TRUE(WaitFor([&] { return journal.HandOver(next, next.TextBytes(), true) == 0; }));
    journal.Close(true);
    EXPECT_EQ(ReadFile(journalFile), "0000000001: after the write\r\n");
    EXPECT_EQ(ReadFile(file), "0000000001: written\r\n");
    ASSERT_TRUE(DeleteFileW(journalFile.c_str()));
}

}  // namespace
