// Recovery among files it did not make: other programs' files named like
// journals, links, FIFOs and files far larger than a journal ever gets are
// left alone or set aside, never read whole, never followed, never removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "SimSupport.h"
#include "capture/Unit2.h"
#include "capture/logstore/Journal.h"
#include "capture/logstore/LogText.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"
#include "tests/support/Waiting.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr uint64_t kSparseBytes = uint64_t{1} << 30;
constexpr size_t kNulBytes = 64 << 10;
const std::string kForeignLines = "0000000000: Open elsewhere\r\n0000000010: not ours\r\n";

// What a folder entry is and holds, without following a link.
struct Entry {
    ino_t inode = 0;
    mode_t mode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Entry &o) const
    {
        return inode == o.inode && mode == o.mode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

Entry EntryOf(const fs::path &path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {info.st_ino, info.st_mode, info.st_size, info.st_mtim};
}

long PeakResidentKiB()
{
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

class StrangeJournals : public LoggedRun {
protected:
    void SetUp() override
    {
        WriteFile(foreign, kForeignLines);
        WriteFile(target, kForeignLines);
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0) << std::strerror(errno);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << std::strerror(errno);
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSparseBytes)), 0) << std::strerror(errno);
        ASSERT_EQ(::close(fd), 0);
        WriteFile(nulFilled, std::string(kNulBytes, '\0'));
        for (const fs::path &path : {foreign, target, link, fifo, sparse, nulFilled})
            before.push_back(EntryOf(path));
    }

    // A run against the simulator: reception starts, whatever the folder holds.
    void RunOnce()
    {
        auto sim = StartSimulator(Quiet());
        Prepare(sim->PortPath());
        CaptureThread thread;
        thread.Start();
        ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
        thread.Stop();
        ASSERT_TRUE(thread.End());
    }

    TempDir elsewhere;
    const fs::path target = elsewhere.path() / "kept.log";
    const fs::path foreign = dir.path() / "ledger.journal";
    const fs::path link = dir.path() / "vektamon-4000010-0.journal";
    const fs::path fifo = dir.path() / "vektamon-4000011-0.journal";
    const fs::path sparse = dir.path() / "vektamon-4000012-0-0123456789ABCDEF.journal";
    const fs::path nulFilled = dir.path() / "vektamon-4000013-0.journal";
    std::vector<Entry> before;
};

TEST_F(StrangeJournals, CaptureStartsTheForeignAreUntouchedAndTheUnreadableAreSetAsideOnce)
{
    RunOnce();
    printf("[ FIGURE   ] recovery among strange journals: peak resident %ld KiB (1 GiB sparse file beside)\n",
           PeakResidentKiB());

    EXPECT_EQ(EntryOf(foreign), before[0]);
    EXPECT_EQ(ReadFile(foreign), kForeignLines);
    EXPECT_EQ(EntryOf(target), before[1]);
    EXPECT_EQ(ReadFile(target), kForeignLines);
    EXPECT_EQ(EntryOf(link), before[2]);
    EXPECT_EQ(fs::read_symlink(link), target);
    EXPECT_EQ(EntryOf(fifo), before[3]);
    // Ours by name, never by content: set aside whole, the sparse one unread and still sparse.
    const fs::path sparseAside = sparse.string() + ".bad";
    const fs::path nulAside = nulFilled.string() + ".bad";
    EXPECT_FALSE(fs::exists(sparse));
    EXPECT_FALSE(fs::exists(nulFilled));
    EXPECT_EQ(EntryOf(sparseAside).inode, before[4].inode);
    EXPECT_EQ(EntryOf(sparseAside).size, static_cast<off_t>(kSparseBytes));
    EXPECT_EQ(ReadFile(nulAside), std::string(kNulBytes, '\0'));
    for (const std::string &message : AllLogMessages(dir))
        EXPECT_EQ(message.find("elsewhere"), std::string::npos) << message;

    // A second start leaves every one of them as it is.
    const Entry sparseAfter = EntryOf(sparseAside);
    const Entry nulAfter = EntryOf(nulAside);
    RunOnce();
    EXPECT_EQ(EntryOf(sparseAside), sparseAfter);
    EXPECT_EQ(EntryOf(nulAside), nulAfter);
    EXPECT_EQ(EntryOf(foreign), before[0]);
    EXPECT_EQ(EntryOf(link), before[2]);
    EXPECT_EQ(EntryOf(fifo), before[3]);
    size_t entries = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 5u + dir.LogFiles().size());  // the log files of the two runs and nothing else
}

// The log a journal goes into is named after its last change; a link of
// that name is never written through.
TEST(RecoveredLog, IsNeverWrittenThroughALinkOfItsName)
{
    TempDir dir;
    TempDir elsewhere;
    const fs::path target = elsewhere.path() / "kept.log";
    const fs::path journal = dir.path() / "vektamon-4000020-0.journal";
    const std::string lines = "0000000000: Open ttyUSB0\r\n";
    WriteFile(target, kForeignLines);
    WriteFile(journal, lines);
    struct stat info {};
    ASSERT_EQ(::stat(journal.c_str(), &info), 0);
    tm local{};
    ASSERT_NE(::localtime_r(&info.st_mtim.tv_sec, &local), nullptr);
    const fs::path log = dir.path() / LogFileName({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                                   local.tm_min, local.tm_sec});
    ASSERT_EQ(::symlink(target.c_str(), log.c_str()), 0) << std::strerror(errno);

    EXPECT_EQ(RecoverJournals(dir.logPath()), uint32_t{ELOOP});
    EXPECT_EQ(ReadFile(target), kForeignLines);
    EXPECT_EQ(ReadFile(journal), lines);  // kept for a start that can write it
}

struct NameCase {
    const char *name;
    std::string file;
    bool journal;
    friend void PrintTo(const NameCase &c, std::ostream *os) { *os << c.name; }
};

class JournalNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(JournalNames, OnlyTheProgramsOwnAreTaken)
{
    EXPECT_EQ(IsJournalName(GetParam().file), GetParam().journal);
}

INSTANTIATE_TEST_SUITE_P(
    Names, JournalNames,
    ::testing::Values(NameCase{"with_random_digits", "vektamon-12-0-0123456789ABCDEF.journal", true},
                      NameCase{"of_an_older_program", "vektamon-12-3.journal", true},
                      NameCase{"another_programs", "ledger.journal", false},
                      NameCase{"no_thread_number", "vektamon-12.journal", false},
                      NameCase{"short_random_digits", "vektamon-12-0-0123ABCDEF.journal", false},
                      NameCase{"lower_case_digits", "vektamon-12-0-0123456789abcdef.journal", false},
                      NameCase{"more_after_the_digits", "vektamon-12-0-0123456789ABCDEF-x.journal", false},
                      NameCase{"set_aside", "vektamon-12-0-0123456789ABCDEF.journal.bad", false},
                      NameCase{"letters_for_the_process", "vektamon-ab-0.journal", false}),
    CaseName());

}  // namespace
