// The journal's file on Windows: held under LockFileEx against a second
// holder, appended, cut, read back, dated and removed while still held.
#include <gtest/gtest.h>
#include <windows.h>

#include "capture/logstore/JournalFile.h"
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

}  // namespace
