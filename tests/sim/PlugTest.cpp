// Unplugging and replugging, the client going away, and the link.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "SimTestSupport.h"

namespace {

using namespace simtest;
using vektasim::Kind;

std::string LinkTarget(const std::string &link)
{
    std::error_code error;
    return std::filesystem::read_symlink(link, error).string();
}

bool Exists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

class Plug : public ::testing::Test {
protected:
    std::unique_ptr<vektasim::Simulator> StartLinked()
    {
        vektasim::Options options;
        options.traffic = vektasim::Traffic::Generator;
        options.linkPath = link;
        auto sim = std::make_unique<vektasim::Simulator>(options);
        std::string error;
        EXPECT_TRUE(sim->Start(error)) << error;
        return sim;
    }

    TempDir dir;
    std::string link = (dir.path() / "adapter").string();
};

TEST_F(Plug, PortPathIsTheLinkWhenGivenAndTheSlaveOtherwise)
{
    auto sim = StartLinked();
    EXPECT_EQ(sim->PortPath(), link);
    EXPECT_EQ(LinkTarget(link), sim->SlavePath());

    vektasim::Simulator plain(vektasim::Options{});
    std::string error;
    ASSERT_TRUE(plain.Start(error)) << error;
    EXPECT_EQ(plain.PortPath(), plain.SlavePath());
    EXPECT_EQ(plain.SlavePath().rfind("/dev/pts/", 0), 0u);
}

TEST_F(Plug, UnplugHangsUpTheClientAndRemovesTheLink)
{
    auto sim = StartLinked();
    SlaveEnd slave(link);
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    ASSERT_TRUE(WaitFor([&] { return sim->Streaming(); }));
    sim->Unplug();
    EXPECT_TRUE(slave.WaitForHangup());
    EXPECT_FALSE(Exists(link));
    EXPECT_FALSE(sim->Streaming());
}

TEST_F(Plug, ReplugPutsAWorkingPortBehindTheSameLink)
{
    auto sim = StartLinked();
    {
        SlaveEnd slave(link);
        ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    }
    sim->Unplug();
    std::string error;
    ASSERT_TRUE(sim->Replug(error)) << error;
    EXPECT_EQ(LinkTarget(link), sim->SlavePath());
    SlaveEnd slave(link);
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    EXPECT_EQ(slave.ReadMessage().at(0), 0x70);
    // Commands of both plug-ins are kept.
    EXPECT_EQ(sim->Received().size(), 2 * InitCommands(Kind::Vekta).size());
}

TEST_F(Plug, ClientThatGoesAwayStopsTheStreamAndLosesNoQueuedFrame)
{
    vektasim::Options options;
    options.traffic = vektasim::Traffic::None;
    vektasim::Simulator sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetRecordFrames(true);
    std::vector<vektasim::CanFrame> frames(4000);
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].id = static_cast<uint32_t>(i % 0x800);
        frames[i].length = 8;
        frames[i].data[0] = static_cast<uint8_t>(i);
    }
    {
        SlaveEnd slave(sim.PortPath());
        ASSERT_TRUE(slave.Initialise(Kind::Vekta));
        sim.QueueFrames(frames);
        // Leaves with most of them unread.
        ASSERT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[0], Kind::Vekta));
    }
    ASSERT_TRUE(WaitFor([&] { return !sim.Streaming(); }));
    const uint64_t before = sim.FramesSent();
    ASSERT_LT(before, frames.size());
    SlaveEnd slave(sim.PortPath());
    ASSERT_TRUE(slave.opened());
    ASSERT_TRUE(slave.Initialise(Kind::Vekta));
    // Whatever the first client never got whole comes to the second one.
    for (uint64_t i = before; i < frames.size(); ++i)
        ASSERT_EQ(slave.ReadMessage(), vektasim::EncodeFrameMessage(frames[i], Kind::Vekta)) << i;
    EXPECT_TRUE(WaitFor([&] { return sim.FramesSent() == frames.size(); }));
    EXPECT_EQ(sim.SentFrames().size(), frames.size());
}

TEST_F(Plug, StaleLinkIsReplacedAndAFileIsLeftAlone)
{
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);
    {
        auto sim = StartLinked();
        EXPECT_EQ(LinkTarget(link), sim->SlavePath());
    }
    EXPECT_FALSE(Exists(link));

    std::ofstream(link) << "not a link";
    vektasim::Options options;
    options.linkPath = link;
    vektasim::Simulator sim(options);
    std::string error;
    EXPECT_FALSE(sim.Start(error));
    EXPECT_NE(error.find(link), std::string::npos) << error;
    EXPECT_TRUE(Exists(link));
}

}  // namespace
