// The journal: a running capture's lines on disk beside the log in memory,
// emptied by every log write, removed at the end; journals of programs that
// did not end are written out as log files when a capture thread starts.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

#include "Figures.h"
#include "SimSupport.h"
#include "Tmpfs.h"
#include "capture/Unit2.h"
#include "capture/logstore/Journal.h"
#include "capture/logstore/JournalFile.h"
#include "capture/logstore/LogText.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// Sets a file's last change to a local date and time, as a crashed program
// leaves its journal.
void SetModified(const fs::path &path, const LocalDateTime &t)
{
    tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << std::strerror(errno);
}

std::vector<fs::path> Journals(const TempDir &dir)
{
    std::vector<fs::path> found;
    for (const auto &entry : fs::directory_iterator(dir.path()))
        if (entry.path().extension() == ".journal")
            found.push_back(entry.path());
    return found;
}

bool HoldsFirstFloodFrame(const std::string &text)
{
    const auto messages = LogMessages(text);
    return std::any_of(messages.begin(), messages.end(), [](const std::string &m) {
        return IsCanLine(m) && m.size() > 30 && FloodSequence(m, vektasim::Options().floodIds) == 0;
    });
}

// A capture thread's start and end on the folder, with no run between.
void StartAndEndThread(const TempDir &dir)
{
    PrepareControl(CaptureControl, dir, "ttyNONE");
    CaptureThread thread;
    ASSERT_TRUE(thread.End());
}

struct RecoveryCase {
    const char *name;
    std::string journal;
    std::string logBefore;  // a log file of the same name already there
    std::string logAfter;   // empty: no log file at all
    bool setAside = false;  // not all log lines: renamed aside rather than removed
    friend void PrintTo(const RecoveryCase &c, std::ostream *os) { *os << c.name; }
};

class Recovery : public ::testing::TestWithParam<RecoveryCase> {
protected:
    TempDir dir;
};

TEST_P(Recovery, WritesTheJournalsWholeLinesIntoTheLogNamedAfterItsLastChange)
{
    const RecoveryCase &c = GetParam();
    const LocalDateTime when{2026, 12, 8, 4, 30, 12};
    const fs::path journal = dir.path() / "vektamon-4000000-0.journal";
    const fs::path log = dir.path() / LogFileName(when);
    ASSERT_EQ(log.filename(), "081226_043012.log");
    WriteFile(journal, c.journal);
    SetModified(journal, when);
    if (!c.logBefore.empty())
        WriteFile(log, c.logBefore);

    StartAndEndThread(dir);
    EXPECT_TRUE(Journals(dir).empty());
    const fs::path aside = journal.string() + ".bad";
    EXPECT_EQ(fs::exists(aside), c.setAside);
    if (c.setAside) {
        EXPECT_EQ(ReadFile(aside), c.journal);
    }
    if (c.logAfter.empty()) {
        EXPECT_TRUE(dir.LogFiles().empty());
    } else {
        ASSERT_EQ(dir.LogFiles(), std::vector<fs::path>{log});
        EXPECT_EQ(ReadFile(log), c.logAfter);
    }

    // A second start finds nothing more to recover.
    StartAndEndThread(dir);
    if (!c.logAfter.empty()) {
        EXPECT_EQ(ReadFile(log), c.logAfter);
    }
}

const std::string kTwoLines = "0000000000: Open ttyUSB0\r\n0000001234: RxD(CAN): 000007E8: 01 \r\n";
const std::string kClosing = "0000001234: " + std::string(kRecoveredLine) + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Journals, Recovery,
    ::testing::Values(
        RecoveryCase{"whole_lines", kTwoLines, "", kTwoLines + kClosing},
        RecoveryCase{"appended_to_a_log_of_that_name", kTwoLines, "0000000007: Close COM1\r\n",
                     "0000000007: Close COM1\r\n" + kTwoLines + kClosing},
        RecoveryCase{"line_cut_off_by_the_crash", kTwoLines + "0000001240: RxD(C", "", kTwoLines + kClosing},
        RecoveryCase{"empty_journal", "", "", ""}, RecoveryCase{"no_whole_line", "0000000000: Op", "", ""},
        RecoveryCase{"nul_filled", std::string(4096, '\0'), "", "", true},
        RecoveryCase{"cut_line_then_nuls", kTwoLines + "0000001240: Rx" + std::string(64, '\0'), "",
                     kTwoLines + kClosing, true},
        RecoveryCase{"lines_then_other_text", kTwoLines + "total: 3\r\n" + kTwoLines, "", kTwoLines + kClosing, true},
        RecoveryCase{"text_without_stamps", "Hello\r\nworld\r\n", "", "", true}),
    CaseName());

// A journal sealed by a log write that a kill or a power cut interrupted, at
// each moment of the write: its log gets exactly what it lacks; a log that
// is not the one the lines went to is never touched.
struct SealedCase {
    const char *name;
    std::string journal;
    std::optional<std::string> logBefore;  // the sealed log file; none when absent
    std::optional<std::string> logAfter;
    std::string ownLog;      // lines that had to go to a log of their own
    bool setAside = false;   // not a journal of ours: renamed aside
    bool linkedLog = false;  // the log's name is a link to a file elsewhere
    friend void PrintTo(const SealedCase &c, std::ostream *os) { *os << c.name; }
};

class SealedRecovery : public ::testing::TestWithParam<SealedCase> {
protected:
    TempDir dir;
    TempDir elsewhere;
};

TEST_P(SealedRecovery, GivesTheLogExactlyWhatItLacks)
{
    const SealedCase &c = GetParam();
    const LocalDateTime when{2026, 12, 8, 4, 30, 15};
    const fs::path journal = dir.path() / "vektamon-4000002-0-0123456789ABCDEF.journal";
    const fs::path log = dir.path() / "081226_043012.log";
    const fs::path own = dir.path() / LogFileName(when);
    const fs::path target = elsewhere.path() / "081226_043012.log";
    WriteFile(journal, c.journal);
    SetModified(journal, when);
    if (c.linkedLog) {
        WriteFile(target, *c.logBefore);
        fs::create_symlink(target, log);
    } else if (c.logBefore) {
        WriteFile(log, *c.logBefore);
    }

    StartAndEndThread(dir);
    EXPECT_TRUE(Journals(dir).empty());
    EXPECT_EQ(fs::exists(journal.string() + ".bad"), c.setAside);
    if (c.linkedLog) {
        EXPECT_TRUE(fs::is_symlink(log));
        EXPECT_EQ(ReadFile(target), *c.logBefore);
    } else if (c.logAfter) {
        EXPECT_EQ(ReadFile(log), *c.logAfter);
    } else {
        EXPECT_FALSE(fs::exists(log));
    }
    EXPECT_EQ(fs::exists(own) ? ReadFile(own) : std::string(), c.ownLog);

    // A second start finds nothing more to do.
    StartAndEndThread(dir);
    if (c.logAfter && !c.linkedLog) {
        EXPECT_EQ(ReadFile(log), *c.logAfter);
    }
    EXPECT_EQ(fs::exists(own) ? ReadFile(own) : std::string(), c.ownLog);
}

const std::string kEarlier = "0000000007: Close COM1\r\n";
std::string SealedAt(size_t offset, std::string_view name = "081226_043012.log")
{
    return "Logged in " + std::string(name) + " from byte " + std::to_string(offset) + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SealedRecovery,
    ::testing::Values(
        SealedCase{"sealed_nothing_written_yet", kTwoLines + SealedAt(kEarlier.size()), kEarlier,
                   kEarlier + kTwoLines + kClosing, ""},
        SealedCase{"half_a_line_written", kTwoLines + SealedAt(kEarlier.size()), kEarlier + kTwoLines.substr(0, 40),
                   kEarlier + kTwoLines + kClosing, ""},
        SealedCase{"written_in_full", kTwoLines + SealedAt(kEarlier.size()), kEarlier + kTwoLines, kEarlier + kTwoLines,
                   ""},
        SealedCase{"written_with_lines_the_journal_never_had", kTwoLines + SealedAt(0),
                   kTwoLines + "0000001300: Close ttyUSB0\r\n", kTwoLines + "0000001300: Close ttyUSB0\r\n", ""},
        SealedCase{"new_log_never_made_durable", kTwoLines + SealedAt(0), std::nullopt, std::nullopt,
                   kTwoLines + kClosing},
        SealedCase{"another_file_under_the_name", kTwoLines + SealedAt(0), kEarlier + kTwoLines, kEarlier + kTwoLines,
                   kTwoLines + kClosing},
        SealedCase{"log_shorter_than_the_seal", kTwoLines + SealedAt(4096), kEarlier, kEarlier, kTwoLines + kClosing},
        SealedCase{"log_name_a_link_elsewhere", kTwoLines + SealedAt(0), kTwoLines.substr(0, 10), std::nullopt,
                   kTwoLines + kClosing, false, true},
        SealedCase{"seal_naming_another_folder", kTwoLines + SealedAt(0, "../081226_043012.log"), std::nullopt,
                   std::nullopt, kTwoLines + kClosing, true},
        SealedCase{"lines_after_the_seal", kTwoLines + SealedAt(0) + kTwoLines, kTwoLines, kTwoLines,
                   kTwoLines + kClosing, true},
        SealedCase{"seal_cut_off", kTwoLines + SealedAt(0).substr(0, 12), kTwoLines, kTwoLines, kTwoLines + kClosing,
                   true}),
    CaseName());

// A program's sealed journal goes before its later one: the later lines
// follow the sealed ones in a log they share.
TEST(SealedRecovery, ComesBeforeTheProgramsNextJournal)
{
    TempDir dir;
    const LocalDateTime when{2026, 12, 8, 4, 30, 12};
    const std::string later = "0000000000: Continue ttyUSB0\r\n";
    const fs::path sealed = dir.path() / "vektamon-4000003-9-0123456789ABCDEF.journal";
    const fs::path next = dir.path() / "vektamon-4000003-10-FEDCBA9876543210.journal";
    WriteFile(sealed, kTwoLines + SealedAt(0));
    WriteFile(next, later);
    SetModified(next, when);
    SetModified(sealed, when);

    StartAndEndThread(dir);
    EXPECT_TRUE(Journals(dir).empty());
    EXPECT_EQ(ReadFile(dir.path() / "081226_043012.log"),
              kTwoLines + kClosing + later + "0000000000: " + std::string(kRecoveredLine) + "\r\n");
}

TEST(HeldJournal, IsLeftAloneByASecondProgramInTheSameFolder)
{
    TempDir dir;
    const std::string path = (dir.path() / "vektamon-4000001-0.journal").string();
    JournalFile held;
    bool heldByOther = false;
    ASSERT_EQ(held.Open(path, true, heldByOther), 0u);
    ASSERT_EQ(held.Append(kTwoLines.data(), kTwoLines.size()), 0u);

    StartAndEndThread(dir);
    EXPECT_TRUE(dir.LogFiles().empty());
    EXPECT_EQ(ReadFile(path), kTwoLines);

    held.Close();  // its program ended without writing: now it is recovered
    StartAndEndThread(dir);
    EXPECT_FALSE(fs::exists(path));
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    EXPECT_EQ(ReadFile(dir.LogFiles().front()), kTwoLines + kClosing);
}

class LiveJournal : public LoggedRun {
protected:
    // The one journal of the folder and its text; empty when there is none.
    std::string JournalText() const
    {
        const auto found = Journals(dir);
        return found.size() == 1 ? ReadFile(found.front()) : std::string();
    }
    // Its first lines only: what the waits look at, read again and again
    // while the journal grows at line rate.
    std::string JournalHead() const
    {
        constexpr size_t kHeadBytes = 4096;
        const auto found = Journals(dir);
        if (found.size() != 1)
            return {};
        std::ifstream in(found.front(), std::ios::binary);
        std::string head(kHeadBytes, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(in.gcount()));
        const size_t lastLineEnd = head.rfind("\r\n");
        return lastLineEnd == std::string::npos ? std::string() : head.substr(0, lastLineEnd + 2);
    }
};

TEST_F(LiveJournal, HoldsTheLinesSinceTheLastWriteAndGoesAtTheEnd)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.throttle = true;  // line rate
    auto sim = StartSimulator(options);
    Prepare(sim->PortPath());
    CaptureControl.adapterLog = false;
    CaptureThread thread;
    thread.Start();

    // Within about a second of reception the journal holds the run's first lines.
    ASSERT_TRUE(WaitFor([&] { return HoldsFirstFloodFrame(JournalHead()); }));
    const auto early = LogMessages(JournalHead());
    EXPECT_EQ(early.front(), "Open " + sim->PortPath() + " Baud=833333(833333) RTO=1000");

    thread.Cut();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kStart; }));
    ASSERT_EQ(dir.LogFiles().size(), 1u);
    const std::string firstFile = ReadFile(dir.LogFiles().front());
    // The cut's sealed journal goes once the file is durable; the next
    // stretch's journal opens with the "Continue" lines.
    ASSERT_TRUE(WaitFor([&] {
        const auto head = LogMessages(JournalHead());
        return head.size() > 3 && head.front().rfind("Continue ", 0) == 0;
    }));
    const std::string stretch = JournalText();
    EXPECT_EQ(LogMessages(stretch).front().rfind("Continue ", 0), 0u);
    EXPECT_EQ(firstFile.find(stretch.substr(0, 200)), std::string::npos);
    const auto firstMessages = LogMessages(firstFile);
    const auto framesBeforeCut = std::count_if(firstMessages.begin(), firstMessages.end(), IsCanLine);

    thread.Stop();
    // The journal held exactly the bytes the file got.
    std::string written;
    for (const auto &file : dir.LogFiles())
        written += ReadFile(file);
    EXPECT_EQ(written.compare(firstFile.size(), stretch.size(), stretch), 0)
        << "the stretch is not where the file continues";
    EXPECT_TRUE(WaitFor([&] { return JournalText().empty(); })) << "the sealed journal stayed";
    EXPECT_GT(framesBeforeCut, 0);

    ASSERT_TRUE(thread.End());
    EXPECT_TRUE(Journals(dir).empty());
}

TEST(JournalDiskFull, FailureIsReportedReceptionGoesOnAndTheLinesAreWrittenOnceSpaceIsBack)
{
    constexpr uint64_t kRoomLeft = 16 << 10;  // less than a second of lines at line rate
    TempDir logs;
    Tmpfs disk(logs.path(), "4m");
    ASSERT_TRUE(disk.FillLeaving(kRoomLeft));

    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.throttle = true;
    auto sim = StartSimulator(options);
    PrepareControl(CaptureControl, logs, sim->PortPath());
    CaptureControl.adapterLog = false;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == ENOSPC; }));
    const uint64_t tabled = TabledFrames();
    ASSERT_TRUE(WaitFor([tabled] { return TabledFrames() > tabled + 1000; }));  // reception goes on
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kReceiving);

    ASSERT_TRUE(disk.RemoveBallast());
    ASSERT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == 0; }));
    // The journal catches up: every line so far, the failure's own too.
    ASSERT_TRUE(WaitFor([&] {
        const auto found = Journals(logs);
        return found.size() == 1 && HoldsFirstFloodFrame(ReadFile(found.front()));
    }));
    thread.Stop();
    ASSERT_TRUE(thread.End());
    EXPECT_TRUE(Journals(logs).empty());

    const auto messages = AllLogMessages(logs);
    const auto failures = std::count_if(messages.begin(), messages.end(), [](const std::string &m) {
        return m.rfind("Journal file ", 0) == 0 && m.find(": No space left on device") != std::string::npos;
    });
    EXPECT_EQ(failures, 1);  // once for the stretch
    uint64_t next = 0;
    for (const auto &m : messages) {
        if (IsCanLine(m)) {
            ASSERT_EQ(FloodSequence(m, options.floodIds), next++) << m;
        }
    }
    EXPECT_EQ(next, TabledFrames());
}

}  // namespace
