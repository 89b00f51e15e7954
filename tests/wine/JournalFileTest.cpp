// The journal's file on Windows: held under LockFileEx against a second
// holder, appended, cut, read back, dated, renamed and removed while still
// held.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "capture/logstore/JournalFile.h"
#include "capture/logstore/LogFile.h"
#include "tests/support/CaptureSupport.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(JournalFile, IsHeldAgainstASecondHolderUntilRemoved)
{
    TempDir dir;
    const std::string path = (dir.path() / "vektamon-1-0.journal").string();
    JournalFile journal;
    bool held = false;
    ASSERT_EQ(journal.Open(path, true, held), 0u);
    ASSERT_EQ(journal.Append("0000000001: a\r\n", 15), 0u);
    ASSERT_EQ(journal.Append("0000000002: b\r\n", 15), 0u);
    ASSERT_EQ(journal.Sync(), 0u);
    ASSERT_EQ(journal.Resize(15), 0u);
    ASSERT_EQ(journal.Append("0000000003: c\r\n", 15), 0u);
    std::string text(64, '\0');
    size_t got = 0;
    ASSERT_EQ(journal.Read(0, text.data(), text.size(), got), 0u);
    text.resize(got);
    EXPECT_EQ(text, "0000000001: a\r\n0000000003: c\r\n");
    EXPECT_FALSE(journal.Removed());

    JournalFile second;
    EXPECT_NE(second.Open(path, false, held), 0u);
    EXPECT_TRUE(held);

    LocalDateTime modified;
    ASSERT_EQ(journal.Modified(modified), 0u);
    EXPECT_GE(modified.year, 2024);

    std::vector<std::string> names;
    ASSERT_EQ(FilesEndingIn(dir.path().string() + "\\", ".journal", names), 0u);
    EXPECT_EQ(names, std::vector<std::string>{"vektamon-1-0.journal"});

    ASSERT_EQ(journal.RemoveAndClose(path), 0u);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_NE(second.Open(path, false, held), 0u);
    EXPECT_FALSE(held);
}

// A full disk's log made of the journal: renamed while held, never over an
// existing file, and appended to as a log once let go.
TEST(JournalFile, IsRenamedWhileHeldButNeverOverAnotherFile)
{
    TempDir dir;
    const std::string path = (dir.path() / "vektamon-1-1.journal").string();
    const std::string log = (dir.path() / "101226_081500.log").string();
    const std::string taken = (dir.path() / "101226_081459.log").string();
    JournalFile journal;
    bool held = false;
    ASSERT_EQ(journal.Open(path, true, held), 0u);
    ASSERT_EQ(journal.Append("0000000001: a\r\n", 15), 0u);
    std::ofstream(taken, std::ios::binary) << "another program's";

    EXPECT_NE(journal.Rename(path, taken), 0u);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(ReadFile(taken), "another program's");
    ASSERT_EQ(journal.Rename(path, log), 0u);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(SyncFolder(dir.path().string() + "\\"), 0u);
    journal.Close();

    LogBuffer next;
    next.Add("0000000002", "b");
    ASSERT_EQ(AppendLogFile(log, next), 0u);
    EXPECT_EQ(ReadFile(log), "0000000001: a\r\n0000000002: b\r\n");
}

}  // namespace
