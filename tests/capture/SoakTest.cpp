// A long capture at line rate while the simulated adapter misbehaves at
// random: it goes silent, cuts messages short, sends garbage and wrong
// answers, and is unplugged and plugged back. VEKTA_SOAK_SECONDS sets the
// length (60 s by default; a shorter run still meets every kind of mishap),
// VEKTA_SOAK_SEED the random sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "Figures.h"
#include "sim/Simulator.h"
#include "tests/support/CaptureSupport.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFloodIds = 64;
// Frames at line rate, 5,952 a second: a calm stretch in which nothing may go
// missing, and the frames after a recovery that carry a mishap's last bytes
// through.
constexpr uint64_t kCalmFrames = 3000;
constexpr uint64_t kSettleFrames = 1800;
constexpr uint64_t kGarbageFrames = 500;  // frames sent with garbage between them
constexpr auto kRecoveryLimit = 10s;
constexpr long kFlatMemoryBytes = 24l << 20;

long EnvOr(const char *name, long fallback)
{
    const char *value = std::getenv(name);
    return value ? std::atol(value) : fallback;
}

// A flood frame carries its pass over the identifiers in its data, so its
// place in the stream is id + pass * kFloodIds. Lines that do not have that
// shape come from garbage read as a frame.
bool FloodSequence(const std::string &line, uint64_t &sequence)
{
    unsigned id = 0, b[8] = {};
    if (std::sscanf(line.c_str(), "RxD(CAN): %8X: %2X %2X %2X %2X %2X %2X %2X %2X ", &id, &b[0], &b[1], &b[2], &b[3],
                    &b[4], &b[5], &b[6], &b[7]) != 9 ||
        line.size() != 44 || id >= kFloodIds)
        return false;
    for (int k = 0; k < 4; ++k)
        if (b[k] != b[k + 4])
            return false;
    const uint64_t pass = b[0] | b[1] << 8 | b[2] << 16 | uint64_t{b[3]} << 24;
    sequence = id + pass * kFloodIds;
    return true;
}

enum class Mishap { Silence, CutShort, Garbage, WrongAnswers, Unplug };
constexpr int kMishapKinds = 5;

class Soak : public ::testing::Test {
protected:
    void SetUp() override
    {
        vektasim::Options options;
        options.traffic = vektasim::Traffic::Flood;
        options.floodIds = kFloodIds;
        options.throttle = true;
        options.linkPath = (links.path() / "adapter").string();
        sim = std::make_unique<vektasim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
        PrepareControl(CaptureControl, dir, sim->PortPath());
        CaptureControl.adapterLog = false;
    }

    // Back to receiving, and frames flowing into the table again.
    Clock::duration AwaitRecovery()
    {
        const auto start = Clock::now();
        EXPECT_TRUE(WaitFor([] { return CaptureControl.state.load() == CaptureState::kReceiving; }, kRecoveryLimit));
        const uint64_t tabled = TabledFrames();
        EXPECT_TRUE(WaitFor([tabled] { return TabledFrames() != tabled; }, kRecoveryLimit));
        return Clock::now() - start;
    }

    // Waits until reception has tabled this many more frames.
    static void AwaitFrames(uint64_t frames)
    {
        const uint64_t from = TabledFrames();
        EXPECT_TRUE(WaitFor([from, frames] { return TabledFrames() >= from + frames; }, kRecoveryLimit));
    }

    // Each mishap, then the adapter's return.
    void Inflict(Mishap mishap, std::mt19937 &random)
    {
        switch (mishap) {
        case Mishap::Silence: {
            // The quiet's length is the mishap itself: nothing the capture
            // does shows that it has heard nothing.
            std::uniform_int_distribution<int> spellMs(150, 1200);
            sim->SetFault(vektasim::Fault::Silence);
            std::this_thread::sleep_for(std::chrono::milliseconds(spellMs(random)));
            sim->SetFault(vektasim::Fault::None);
            return;
        }
        case Mishap::CutShort: sim->SetFault(vektasim::Fault::CutShort); return;
        case Mishap::Garbage: {
            const uint64_t from = sim->FramesSent();
            sim->SetFault(vektasim::Fault::Garbage);
            EXPECT_TRUE(WaitFor([&] { return sim->FramesSent() >= from + kGarbageFrames; }, kRecoveryLimit));
            sim->SetFault(vektasim::Fault::None);
            return;
        }
        case Mishap::WrongAnswers: sim->SetFault(vektasim::Fault::WrongTypeFirst); [[fallthrough]];
        case Mishap::Unplug: {
            // Away until the capture has tried to open the missing port a
            // random number of times, 300 ms apart.
            std::uniform_int_distribution<int> attempts(1, 4);
            const int misses = attempts(random);
            sim->Unplug();
            // Each attempt clears the error first, so a cleared ENOENT that
            // comes back comes from the next attempt.
            for (int i = 0; i < misses; ++i) {
                EXPECT_TRUE(WaitFor([] { return CaptureControl.sysError.load() == ENOENT; }, kRecoveryLimit));
                CaptureControl.sysError.store(0);
            }
            std::string error;
            EXPECT_TRUE(sim->Replug(error)) << error;
            if (mishap == Mishap::WrongAnswers) {
                EXPECT_TRUE(WaitFor([this] { return sim->Streaming(); }, kRecoveryLimit));
                sim->SetFault(vektasim::Fault::None);
            }
            return;
        }
        }
    }

    TempDir dir;
    TempDir links;
    std::unique_ptr<vektasim::Simulator> sim;
};

// Cuts the log and waits until the cut is served: its "Continue" lines mark
// the place in the log.
void MarkLog(CaptureThread &thread)
{
    thread.Cut();
    EXPECT_TRUE(WaitFor([] { return (CaptureControl.flags.load() & FlagWord::kCutLog) == 0; }, kRecoveryLimit));
}

TEST_F(Soak, CaptureSurvivesEveryMishapAndLosesNoWholeFrame)
{
    const auto length = std::chrono::seconds(EnvOr("VEKTA_SOAK_SECONDS", 60));
    std::mt19937 random(static_cast<uint32_t>(EnvOr("VEKTA_SOAK_SEED", 1)));
    std::uniform_int_distribution<int> pick(0, kMishapKinds - 1);
    // The first rounds meet every kind once, in a random order.
    std::array<Mishap, kMishapKinds> everyKind = {Mishap::Silence, Mishap::CutShort, Mishap::Garbage,
                                                  Mishap::WrongAnswers, Mishap::Unplug};
    std::shuffle(everyKind.begin(), everyKind.end(), random);

    CaptureThread thread;
    thread.Start();
    AwaitRecovery();
    const long memoryAtStart = ResidentBytes();
    int mishaps = 0;
    Clock::duration slowestRecovery{};
    const auto end = Clock::now() + length;
    // Each round: a calm stretch between two marks, then a mishap and the
    // adapter's return, then time for stray bytes to pass.
    while (Clock::now() < end || mishaps < kMishapKinds) {
        MarkLog(thread);
        AwaitFrames(kCalmFrames);
        MarkLog(thread);
        Inflict(mishaps < kMishapKinds ? everyKind[mishaps] : static_cast<Mishap>(pick(random)), random);
        ++mishaps;
        slowestRecovery = std::max(slowestRecovery, AwaitRecovery());
        AwaitFrames(kSettleFrames);
    }
    const long memoryGrowth = ResidentBytes() - memoryAtStart;
    thread.Stop();
    EXPECT_TRUE(thread.End());

    const auto messages = AllLogMessages(dir);
    std::set<uint64_t> seen;
    int marks = 0, calmGaps = 0, calmGarbage = 0, garbage = 0, duplicates = 0;
    uint64_t last = 0;
    bool haveLast = false;
    uint64_t sinceLastOpen = 0;
    for (const std::string &m : messages) {
        if (m.rfind("Open ", 0) == 0)
            sinceLastOpen = 0;
        if (m.rfind("Continue ", 0) == 0) {
            ++marks;
            haveLast = false;
        }
        if (m.rfind("RxD(CAN): ", 0) != 0)
            continue;
        ++sinceLastOpen;
        // Between the first and second mark of a round nothing went wrong.
        const bool calm = marks % 2 == 1;
        uint64_t sequence = 0;
        if (!FloodSequence(m, sequence)) {
            ++garbage;
            calmGarbage += calm;
            continue;
        }
        duplicates += !seen.insert(sequence).second;
        if (calm && haveLast && sequence != last + 1 && calmGaps++ < 5)
            std::printf("frames missing in a calm stretch: %llu after %llu\n",
                        static_cast<unsigned long long>(sequence), static_cast<unsigned long long>(last));
        last = sequence;
        haveLast = true;
    }
    std::printf("soak: %d mishaps, %zu frames logged, %d garbage frames, slowest recovery %.0f ms, "
                "resident growth %.1f MB\n",
                mishaps, seen.size(), garbage, std::chrono::duration<double, std::milli>(slowestRecovery).count(),
                memoryGrowth / 1e6);
    EXPECT_EQ(duplicates, 0);
    EXPECT_EQ(calmGaps, 0);
    EXPECT_EQ(calmGarbage, 0);
    EXPECT_GT(seen.size(), 1000u);
    // The table counts exactly what the log holds since the last initialisation.
    EXPECT_EQ(TabledFrames(), sinceLastOpen);
#ifndef __SANITIZE_THREAD__
    // ThreadSanitizer's shadow memory grows with the allocations of every
    // thread, the journal's writer too; the plain and ASan runs catch a leak.
    EXPECT_LT(memoryGrowth, kFlatMemoryBytes);
#endif
}

}  // namespace
