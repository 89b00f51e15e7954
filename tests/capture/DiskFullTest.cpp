// A long capture whose log folder runs full: on a small tmpfs of the test's
// own, the log fills it, the journal's lines become the log without new
// space, the rest are kept and then counted as lost, and once space is back
// the log is written with lines saying what was lost, where it was lost.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

#include "Figures.h"
#include "SimSupport.h"
#include "Tmpfs.h"
#include "capture/Unit2.h"
#include "tests/support/CaptureSupport.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

constexpr auto kFloodDeadline = std::chrono::minutes(3);

class DiskFull : public ::testing::Test {
protected:
    TempDir logs;  // the tmpfs goes on it, and comes off before it is removed
};

TEST_F(DiskFull, LinesAreKeptThenCountedAndTheLossIsReportedOnceSpaceIsBack)
{
    constexpr uint32_t kFloodIds = 500;
    // Text of about 83 MiB: more than memory may keep while the disk is full.
    constexpr uint64_t kFloodFrames = 1500000;
    constexpr uint64_t kRoomLeft = 8 << 20;  // less than the bound writes at once
    constexpr uint32_t kAfterIds = 0x7FF;
    constexpr uint32_t kAfterFrames = 1000;

    Tmpfs disk(logs.path(), "96m");
    ASSERT_TRUE(disk.FillLeaving(kRoomLeft));

    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.floodIds = kFloodIds;
    options.frameLimit = kFloodFrames;
    auto sim = StartSimulator(options);
    PrepareControl(CaptureControl, logs, sim->PortPath());
    CaptureControl.adapterLog = false;
    CaptureThread thread;
    thread.Start();

    // Reception and the table go on while the log cannot be written.
    ASSERT_TRUE(WaitFor([] { return TabledFrames() == kFloodFrames; }, kFloodDeadline))
        << TabledFrames() << " frames tabled since the last initialisation, " << sim->FramesSent() << " sent";
    EXPECT_EQ(CaptureControl.sysError.load(), static_cast<uint32_t>(ENOSPC));
    const uint64_t lost = CaptureControl.logLinesLost;
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(CaptureControl.state.load(), CaptureState::kReceiving);
    for (const auto &file : fs::directory_iterator(logs.path())) {
        if (file.path() != disk.ballast() && file.path().extension() != ".journal") {
            // Only a journal made the log: whole lines, never a half-written file.
            const std::string text = ReadFile(file.path());
            EXPECT_TRUE(text.ends_with("\r\n")) << file.path() << " holds " << text.size() << " bytes";
        }
    }

    ASSERT_TRUE(disk.RemoveBallast());
    ASSERT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == 0; }));
    std::vector<vektasim::CanFrame> after(kAfterFrames);
    for (uint32_t i = 0; i < kAfterFrames; ++i) {
        after[i].id = kAfterIds;
        after[i].length = 1;
        after[i].data[0] = static_cast<uint8_t>(i);
    }
    sim->QueueFrames(after);
    ASSERT_TRUE(WaitFor([] { return TabledFrames() == kFloodFrames + kAfterFrames; }))
        << TabledFrames() << " frames tabled, state " << CaptureControl.state.load() << ", sysError "
        << CaptureControl.sysError.load();
    thread.Stop();
    EXPECT_EQ(CaptureControl.logLinesLost, lost);

    std::vector<LogLine> lines;
    for (const auto &file : logs.LogFiles()) {
        auto more = LogLines(ReadFile(file));
        lines.insert(lines.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    // Every flood frame is logged once and in order, or counted lost; each
    // line saying so stands where its lines are missing.
    size_t failures = 0;
    uint64_t logged = 0;
    uint64_t next = 0;
    uint64_t lostNoted = 0;
    uint64_t unaccounted = 0;  // lost lines noted, not yet met as a gap
    size_t lastFlood = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &message = lines[i].message;
        if (message.rfind("Log file ", 0) == 0) {
            ++failures;
            EXPECT_NE(message.find(": No space left on device"), std::string::npos) << message;
        } else if (message.rfind("Lost ", 0) == 0) {
            char first[11];
            char last[11];
            unsigned long long count = 0;
            ASSERT_EQ(std::sscanf(message.c_str(), "Lost %llu log lines from %10s to %10s", &count, first, last), 3)
                << message;
            EXPECT_LE(lines[i - 1].stampMs, std::stoul(first));
            EXPECT_LE(std::stoul(first), std::stoul(last));
            EXPECT_LE(std::stoul(last), lines[i].stampMs);
            lostNoted += count;
            unaccounted += count;
            std::printf("[ FIGURE   ] disk full: %llu frames logged before \"%s\"\n",
                        static_cast<unsigned long long>(logged), message.c_str());
        } else if (IsCanLine(message) && message.find(": 000007FF: ") == std::string::npos) {
            const uint64_t sequence = FloodSequence(message, kFloodIds);
            ASSERT_GE(sequence, next) << "a frame twice or out of order: " << message;
            ASSERT_LE(sequence - next, unaccounted) << "lines missing where no line says so: " << message;
            unaccounted -= std::min(unaccounted, sequence - next);
            next = sequence + 1;
            ++logged;
            lastFlood = i;
        }
    }
    EXPECT_EQ(failures, 1u);  // one for the whole stretch of failed writes
    EXPECT_EQ(lostNoted, lost);
    // The lines lost are the frames missing and, at most, the few lines that
    // said a write failed while memory was full (once for each stretch of
    // failures, of the log and of the journal).
    constexpr uint64_t kFailureLinesAtMost = 4;
    EXPECT_GE(logged + lost, kFloodFrames);
    EXPECT_LE(logged + lost, kFloodFrames + kFailureLinesAtMost);
    EXPECT_GE(next + unaccounted, kFloodFrames) << "the last lines lost are not noted after the last kept";

    // Logging goes on after the loss: a new stretch with every later frame.
    size_t afterLogged = 0;
    for (size_t i = lastFlood + 1; i < lines.size(); ++i) {
        if (!IsCanLine(lines[i].message))
            continue;
        char expected[32];
        std::snprintf(expected, sizeof expected, "RxD(CAN): %08X: %02X ", kAfterIds, unsigned(afterLogged & 0xFF));
        EXPECT_EQ(lines[i].message, expected);
        ++afterLogged;
    }
    EXPECT_EQ(afterLogged, kAfterFrames);
    EXPECT_EQ(lines.back().message, "Close " + sim->PortPath());
}

}  // namespace
