// A log file moved away (an uploader) right after it was written: the
// journal syncs it where it went and goes on with the lines after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Figures.h"
#include "SimSupport.h"
#include "capture/Unit2.h"
#include "capture/logstore/Journal.h"
#include "capture/logstore/LogFile.h"
#include "tests/support/CaptureSupport.h"
#include "tests/support/Waiting.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// The file moved before the journal hears of it: a sync by its name would
// find nothing there.
TEST(MovedLog, TheJournalSyncsItWhereItWentAndTakesTheNextLines)
{
    TempDir dir;
    TempDir uploads;
    Journal journal(dir.logPath());
    LogBuffer buffer;
    buffer.Add("0000000000", "Open ttyUSB0");
    ASSERT_EQ(journal.HandOver(buffer, 0, true), 0u);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(journal.Path()) && fs::file_size(journal.Path()) > 0; }));

    const fs::path log = dir.path() / "081226_043012.log";
    WrittenLog written;
    const std::string sealedPath = journal.Path();
    const auto seal = [&](uint64_t offset) { return journal.Seal(log.filename().string(), offset); };
    ASSERT_EQ(AppendLogFile(log.string(), buffer, written, seal), 0u);
    fs::rename(log, uploads.path() / log.filename());
    journal.Restart(std::move(written));
    buffer.Clear();

    buffer.Add("0000000100", "Continue ttyUSB0");
    const std::string next = "0000000100: Continue ttyUSB0\r\n";
    uint32_t failure = journal.HandOver(buffer, 0, true);
    ASSERT_TRUE(WaitFor([&] {
        failure = journal.HandOver(buffer, buffer.TextBytes(), true);
        return failure == 0 && ReadFile(journal.Path()) == next;
    })) << "the journal holds \""
        << ReadFile(journal.Path()) << "\", last failure " << failure;
    EXPECT_EQ(ReadFile(uploads.path() / log.filename()), "0000000000: Open ttyUSB0\r\n");
    // The sealed journal went once the moved file was durable.
    EXPECT_NE(journal.Path(), sealedPath);
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(sealedPath); }));
}

class MovedLogs : public LoggedRun {};

// Every cut's file goes at once; the journal never reports a failure and
// every frame reaches a file, moved or last.
TEST_F(MovedLogs, CutsMovedAwayAtOnceCostNeitherTheJournalNorALine)
{
    constexpr int kCuts = 5;
    TempDir uploads;
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.throttle = true;
    auto sim = StartSimulator(options);
    Prepare(sim->PortPath());
    CaptureControl.adapterLog = false;
    CaptureThread thread;
    thread.Start();
    ASSERT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }));
    for (int cut = 0; cut < kCuts; ++cut) {
        const uint64_t tabled = TabledFrames();
        ASSERT_TRUE(WaitFor([tabled] { return TabledFrames() > tabled + 100; }));
        thread.Cut();
        ASSERT_TRUE(WaitFor([&] { return !dir.LogFiles().empty(); }));
        for (const fs::path &file : dir.LogFiles())
            fs::rename(file, uploads.path() / (std::to_string(cut) + "-" + file.filename().string()));
        ASSERT_TRUE(WaitFor([] { return CaptureControl.flags.load() == FlagWord::kStart; }));
    }
    // Lines logged after the last move reach the journal.
    const uint64_t tabled = TabledFrames();
    ASSERT_TRUE(WaitFor([tabled] { return TabledFrames() > tabled + 1000; }));
    ASSERT_TRUE(WaitFor([&] {
        for (const auto &entry : fs::directory_iterator(dir.path()))
            if (entry.path().extension() == ".journal" && entry.file_size() > 0)
                return true;
        return false;
    }));
    EXPECT_EQ(CaptureControl.sysError.load(), 0u);
    thread.Stop();
    ASSERT_TRUE(thread.End());

    std::vector<std::string> messages;
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(uploads.path()))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path &file : files)
        for (const std::string &m : LogMessages(ReadFile(file)))
            messages.push_back(m);
    for (const std::string &m : AllLogMessages(dir))
        messages.push_back(m);
    uint64_t next = 0;
    for (const std::string &m : messages) {
        EXPECT_NE(m.rfind("Journal file ", 0), 0u) << m;
        if (IsCanLine(m)) {
            ASSERT_EQ(FloodSequence(m, options.floodIds), next++) << m;
        }
    }
    EXPECT_EQ(next, TabledFrames());
}

}  // namespace
