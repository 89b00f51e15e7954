// vektacand on the kernel's own CAN stack: the converter's ttyUSB read by an
// ordinary user in dialout, frames into vcan0 and out of it again through
// can-utils' candump and python-can; the interface taken down, deleted and
// made again, the converter pulled out, and --create with and without the
// privilege it needs.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "BenchFixture.h"
#include "sim/Traffic.h"

namespace bench_support {

namespace {

using namespace std::chrono_literals;
using testing_support::ReadFile;
using testing_support::WaitFor;

constexpr size_t kFramesToTake = 1500;  // about two seconds of the bench's bus
constexpr auto kFramesWait = 60s;
constexpr auto kPythonStart = 180s;

// A program run in the background, its output in files, as root or as the
// ordinary user nobody with the dialout group.
class Child {
public:
    // Standard error goes to err, or beside out.
    Child(const std::vector<std::string> &args, const std::string &out, bool asNobody, const std::string &err = {})
        : out_(out), err_(err.empty() ? out + ".err" : err)
    {
        pid_ = ::fork();
        if (pid_ == 0)
            Exec(args, asNobody);
    }
    ~Child() { End(SIGKILL); }

    std::string Out() const { return ReadFile(out_); }
    std::string Err() const { return ReadFile(err_); }
    size_t Lines() const
    {
        const std::string text = Out();
        return size_t(std::count(text.begin(), text.end(), '\n'));
    }
    bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
    // Signals and waits; the exit status, or -1.
    int End(int signal)
    {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Wait()
    {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_)
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    void Exec(const std::vector<std::string> &args, bool asNobody)
    {
        const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0)
            ::_exit(126);
        if (asNobody) {
            const passwd *nobody = ::getpwnam("nobody");
            const group *dialout = ::getgrnam("dialout");
            if (!nobody || !dialout)
                ::_exit(126);
            const gid_t groups[] = {dialout->gr_gid};
            if (::setgroups(1, groups) != 0 || ::setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0 ||
                ::setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0)
                ::_exit(126);
        }
        std::vector<char *> argv;
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    std::string out_;
    std::string err_;
    pid_t pid_ = -1;
};

// The guest's PATH holds busybox alone; ip is the host's iproute2.
bool Shell(const std::string &command)
{
    return std::system(("PATH=/usr/sbin:/usr/bin:/sbin:/bin; " + command).c_str()) == 0;
}

// candump, run as root so that its socket may hold more than the system's
// default: a candump that the emulated processor starts slowly would
// otherwise lose what came before its first read (about 280 frames fill the
// default buffer).
std::vector<std::string> Candump(const std::string &iface)
{
    return {CANDUMP_PROGRAM, "-r", "8388608", "-L", iface};
}

bool HasInterface(const std::string &name)
{
    return std::filesystem::exists("/sys/class/net/" + name);
}

size_t Count(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// candump -L lines: "(1700000000.123456) vcan0 18F0233D#FFFFFFFFFF27FFFF".
std::vector<vektasim::CanFrame> CandumpFrames(const std::string &text, std::vector<bool> *extended = nullptr)
{
    std::vector<vektasim::CanFrame> frames;
    std::istringstream in(text);
    for (std::string time, iface, frame; in >> time >> iface >> frame;) {
        const size_t hash = frame.find('#');
        vektasim::CanFrame parsed;
        parsed.id = uint32_t(std::stoul(frame.substr(0, hash), nullptr, 16));
        for (size_t at = hash + 1; at + 1 < frame.size() && parsed.length < 8; at += 2)
            parsed.data[parsed.length++] = uint8_t(std::stoul(frame.substr(at, 2), nullptr, 16));
        if (extended)
            extended->push_back(hash == 8);
        frames.push_back(parsed);
    }
    return frames;
}

class BridgeBench : public BenchTest {
protected:
    void SetUp() override
    {
        DeleteInterfaces();
        ASSERT_TRUE(Shell("ip link add dev vcan0 type vcan && ip link set up vcan0"));
    }
    // The converter goes back as freshly plugged: the line settings a run
    // leaves in its tty would change what the next test's open sends it.
    void TearDown() override
    {
        DeleteInterfaces();
        if (used_) {
            EXPECT_TRUE(Replug(*used_, 0ms));
            EXPECT_FALSE(ConverterDevice(*used_).empty());
        }
    }

    static void DeleteInterfaces()
    {
        for (const char *name : {"vcan0", "vcan1"})
            if (HasInterface(name))
                Shell(std::string("ip link del ") + name);
    }

    // The adapter's converter as a distribution hands it out: group dialout,
    // read and write for the group; the log folder open to every user.
    BenchAdapter Ready(const std::string &kind)
    {
        const BenchAdapter adapter = Adapter(kind);
        used_ = adapter;
        GrantDialout();
        EXPECT_EQ(::chmod(dir.path().c_str(), 0777), 0);
        return adapter;
    }

    // What udev does for a converter plugged in; the guest has no udev.
    void GrantDialout() const
    {
        const group *dialout = ::getgrnam("dialout");
        EXPECT_TRUE(dialout && ::chown(device.c_str(), 0, dialout->gr_gid) == 0 && ::chmod(device.c_str(), 0660) == 0);
    }

    std::vector<std::string> Bridge(const BenchAdapter &adapter, const std::string &iface,
                                    std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {VEKTACAND_PROGRAM, "--adapter", adapter.kind, "--log-dir", dir.logPath()};
        if (adapter.kind == "vekta")
            args.insert(args.end(), {"--group1-bits", "29"});  // the bench replays 29-bit frames
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {device, iface});
        return args;
    }

    std::string File(const std::string &name) const { return (dir.path() / name).string(); }

private:
    std::optional<BenchAdapter> used_;
};

TEST_F(BridgeBench, CandumpAndPythonCanGetEveryFrameFromAnOrdinaryUsersBridge)
{
    const BenchAdapter adapter = Ready("trilox");
    Child candump(Candump("vcan0"), File("candump.log"), false);
    Child python({VEKTA_DEBIAN_PYTHON, READ_SOCKETCAN_SCRIPT, "vcan0", std::to_string(kFramesToTake)},
                 File("python.out"), true);
    // Python starts slowly on the guest's emulated processor.
    ASSERT_TRUE(WaitFor([&] { return python.Out().starts_with("ready\n"); }, kPythonStart)) << python.Err();
    Child bridge(Bridge(adapter, "vcan0"), File("bridge.out"), true);
    ASSERT_TRUE(WaitFor([&] { return candump.Lines() >= kFramesToTake; }, kFramesWait)) << bridge.Err();
    EXPECT_EQ(python.Wait(), 0) << python.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    std::vector<bool> extended;
    const auto frames = CandumpFrames(candump.Out(), &extended);
    EXPECT_EQ(UnbrokenRun(frames, ReplayedFrames(adapter)), "") << bridge.Err();
    EXPECT_EQ(std::count(extended.begin(), extended.end(), false), 0) << "every frame of the trace is 29-bit";
    const std::string err = bridge.Err();
    EXPECT_NE(err.find("vcan0: " + std::to_string(frames.size())), std::string::npos) << err;
    EXPECT_NE(err.find(" forwarded, 0 dropped"), std::string::npos) << err;
    std::printf("[ FIGURE   ] candump on vcan0: %zu frames, unbroken; python-can: %zu frames\n", frames.size(),
                size_t(Count(python.Out(), "\n") - 1));
}

TEST_F(BridgeBench, InterfaceDownUpAndDeletedAddedDropsCountedDeliveryResumes)
{
    const BenchAdapter adapter = Ready("vekta");
    Child bridge(Bridge(adapter, "vcan0"), File("bridge.out"), true);
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "receiving") == 1; }, kFramesWait)) << bridge.Err();

    ASSERT_TRUE(Shell("ip link set vcan0 down"));
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "vcan0: dropping frames: Network is down") == 1; }))
        << bridge.Err();
    ASSERT_TRUE(Shell("ip link set vcan0 up"));
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "vcan0: delivering again after ") == 1; })) << bridge.Err();

    ASSERT_TRUE(Shell("ip link del vcan0"));
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "vcan0: dropping frames: ") == 2; })) << bridge.Err();
    ASSERT_TRUE(Shell("ip link add dev vcan0 type vcan && ip link set up vcan0"));
    Child candump(Candump("vcan0"), File("candump.log"), false);
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "vcan0: attached again") == 1 && candump.Lines() >= 500; },
                        kFramesWait))
        << bridge.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0);
    candump.End(SIGINT);
    EXPECT_EQ(UnbrokenRun(CandumpFrames(candump.Out()), ReplayedFrames(adapter)), "") << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_EQ(Count(err, "vcan0: delivering again after "), 2u) << err;
    std::printf("[ FIGURE   ] interface faults:\n%s", err.c_str());
}

TEST_F(BridgeBench, ConverterPulledOutVcanStaysAndFramesResume)
{
    const BenchAdapter adapter = Ready("trilox");
    Child candump(Candump("vcan0"), File("candump.log"), false);
    Child bridge(Bridge(adapter, "vcan0"), File("bridge.out"), true);
    ASSERT_TRUE(WaitFor([&] { return candump.Lines() >= 200; }, kFramesWait)) << bridge.Err();
    ASSERT_TRUE(Replug(adapter, 1s));
    ASSERT_EQ(ConverterDevice(adapter), device);
    GrantDialout();
    const size_t before = candump.Lines();
    ASSERT_TRUE(
        WaitFor([&] { return Count(bridge.Err(), "receiving") == 2 && candump.Lines() >= before + 500; }, kFramesWait))
        << bridge.Err();
    EXPECT_TRUE(candump.Running());
    EXPECT_TRUE(HasInterface("vcan0"));
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    std::printf("[ FIGURE   ] converter pulled for 1 s:\n%s", bridge.Err().c_str());
}

TEST_F(BridgeBench, CreateNeedsCapNetAdminAndAsRootMakesAndFeedsTheInterface)
{
    const BenchAdapter adapter = Ready("vekta");
    Child refused(Bridge(adapter, "vcan1", {"--create"}), File("refused.out"), true);
    EXPECT_EQ(refused.Wait(), 1);
    EXPECT_NE(refused.Err().find("creating vcan1 needs CAP_NET_ADMIN"), std::string::npos) << refused.Err();
    EXPECT_NE(refused.Err().find("ip link add dev vcan1 type vcan && ip link set up vcan1"), std::string::npos);
    EXPECT_FALSE(HasInterface("vcan1"));

    Child bridge(Bridge(adapter, "vcan1", {"--create"}), File("bridge.out"), false);
    ASSERT_TRUE(WaitFor([] { return HasInterface("vcan1"); })) << bridge.Err();
    Child candump(Candump("vcan1"), File("candump.log"), false);
    ASSERT_TRUE(WaitFor([&] { return candump.Lines() >= 500; }, kFramesWait)) << bridge.Err() << candump.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    EXPECT_EQ(UnbrokenRun(CandumpFrames(candump.Out()), ReplayedFrames(adapter)), "") << bridge.Err();
}

// A vxcan pair stands for a physical bus: what is written to one end comes
// out of the other, as a CAN port's frames go out onto its wires.
class BridgeBusBench : public BridgeBench {
protected:
    void TearDown() override
    {
        for (const char *name : {"vxbus", "vcan0"})
            if (HasInterface(name))
                Shell(std::string("ip link del ") + name);
        BridgeBench::TearDown();
    }

    // Makes the pair name/vxpeer, both ends up unless up is false.
    static bool MakeBus(const std::string &name, bool up = true)
    {
        return Shell("ip link add dev " + name + " type vxcan peer name vxpeer") &&
               (!up || Shell("ip link set up " + name + " && ip link set up vxpeer"));
    }

    static bool IsUp(const std::string &name)
    {
        return ReadFile("/sys/class/net/" + name + "/operstate") != "down\n" &&
               (std::stoul(ReadFile("/sys/class/net/" + name + "/flags"), nullptr, 16) & 0x1) != 0;
    }

    // candump on the bus's far end, once its socket takes frames.
    static bool Listening(const Child &candump)
    {
        return WaitFor([&] { return ReadFile("/proc/net/can/rcvlist_all").find("vxpeer") != std::string::npos; },
                       kFramesWait) &&
               candump.Running();
    }
};

TEST_F(BridgeBusBench, OtherKindRefusedBeforeThePortAndWrittenOnlyWhenAsked)
{
    const BenchAdapter adapter = Ready("trilox");
    ASSERT_TRUE(MakeBus("vxbus"));
    Child candump(Candump("vxpeer"), File("candump.log"), false);
    ASSERT_TRUE(Listening(candump)) << candump.Err();

    Child refused(Bridge(adapter, "vxbus"), File("refused.out"), true);
    EXPECT_EQ(refused.Wait(), 2) << refused.Err();
    EXPECT_EQ(refused.Err(), "vektacand: vxbus is a vxcan interface, not a vcan: frames written to it could reach a "
                             "real bus; give --write-to-any-interface to write to it all the same\n");
    EXPECT_EQ(candump.Lines(), 0u);
    EXPECT_EQ(ReadFile(File("refused.out")), "");

    Child bridge(Bridge(adapter, "vxbus", {"--write-to-any-interface"}), File("bridge.out"), true);
    ASSERT_TRUE(WaitFor([&] { return candump.Lines() >= 200; }, kFramesWait)) << bridge.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    EXPECT_EQ(UnbrokenRun(CandumpFrames(candump.Out()), ReplayedFrames(adapter)), "") << bridge.Err();
}

TEST_F(BridgeBusBench, CreateLeavesAnInterfaceOfAnotherKindDown)
{
    const BenchAdapter adapter = Ready("vekta");
    ASSERT_TRUE(MakeBus("vxbus", false));
    ASSERT_FALSE(IsUp("vxbus"));
    Child refused(Bridge(adapter, "vxbus", {"--create"}), File("refused.out"), false);
    EXPECT_EQ(refused.Wait(), 2) << refused.Err();
    EXPECT_NE(refused.Err().find("vxbus is a vxcan interface, not a vcan"), std::string::npos) << refused.Err();
    EXPECT_FALSE(IsUp("vxbus"));
    EXPECT_FALSE(IsUp("vxpeer"));
}

// The vcan deleted while the bridge runs and its name given to one end of a
// bus once the far end is listened to: the bridge does not reopen onto it,
// says so, and the far end gets nothing.
TEST_F(BridgeBusBench, NameMadeAgainAsAnotherKindIsNotReopened)
{
    const BenchAdapter adapter = Ready("vekta");
    Child bridge(Bridge(adapter, "vcan0"), File("bridge.out"), true);
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "receiving") == 1; }, kFramesWait)) << bridge.Err();
    ASSERT_TRUE(Shell("ip link del vcan0"));
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "vcan0: dropping frames: ") == 1; })) << bridge.Err();
    ASSERT_TRUE(MakeBus("vxbus", false) && Shell("ip link set up vxpeer"));
    Child candump(Candump("vxpeer"), File("candump.log"), false);
    ASSERT_TRUE(Listening(candump)) << candump.Err();
    ASSERT_TRUE(Shell("ip link set vxbus name vcan0 && ip link set up vcan0"));
    ASSERT_TRUE(WaitFor([&] {
        return bridge.Err().find("vcan0: the interface is no vcan now; nothing is written to it") != std::string::npos;
    })) << bridge.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    EXPECT_EQ(candump.Lines(), 0u) << candump.Out();
    EXPECT_EQ(Count(bridge.Err(), "attached again"), 0u) << bridge.Err();
}

// A small tmpfs that a filler file makes full: standard output redirected
// onto it meets ENOSPC.
class FullDisk {
public:
    static constexpr char kPath[] = "/tmp/vektabench-full";
    FullDisk()
        : mounted_(Shell(std::string("mkdir -p ") + kPath + " && mount -t tmpfs -o size=" + kSizeKiB + "k tmpfs " +
                         kPath + " && head -c " + kFillerBytes + " /dev/zero >" + kPath + "/filler"))
    {
    }
    ~FullDisk()
    {
        if (mounted_)
            Shell(std::string("umount ") + kPath);
    }
    bool Ready() const { return mounted_; }
    bool FreeRoom() const { return std::filesystem::remove(std::string(kPath) + "/filler"); }

private:
    static constexpr char kSizeKiB[] = "128";
    static constexpr char kFillerBytes[] = "98304";  // leaves some 30 KiB, under a second of lines
    bool mounted_;
};

TEST_F(BridgeBench, FullDiskCostsTheLinesOfThatTimeAndTheyComeAgain)
{
    const BenchAdapter adapter = Ready("vekta");
    const FullDisk disk;
    ASSERT_TRUE(disk.Ready());
    const std::string lines = std::string(FullDisk::kPath) + "/candump.log";
    std::vector<std::string> args = {VEKTACAND_PROGRAM, "--adapter",   adapter.kind, "--group1-bits", "29",
                                     "--log-dir",       dir.logPath(), "--candump",  device};
    Child bridge(args, lines, false, File("bridge.err"));
    ASSERT_TRUE(
        WaitFor([&] { return Count(bridge.Err(), "dropping frames: No space left on device") == 1; }, kFramesWait))
        << bridge.Err();
    ASSERT_TRUE(disk.FreeRoom());
    ASSERT_TRUE(WaitFor([&] { return Count(bridge.Err(), "standard output: delivering again after ") == 1; }))
        << bridge.Err();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    const std::string err = bridge.Err();
    EXPECT_EQ(Count(err, "dropping frames: "), 1u) << err;
    // Whole lines only, also where the full disk cut one short.
    const std::string text = ReadFile(lines);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    std::istringstream in(text);
    size_t number = 0;
    for (std::string line; std::getline(in, line); ++number)
        ASSERT_TRUE(line.size() > 30 && line[0] == '(' && line.find(") can0 ") == 18 && Count(line, "#") == 1)
            << "line " << number << ": " << line;
    std::printf("[ FIGURE   ] full disk under standard output:\n%s", err.c_str());
}

// The guest's processor time over all its CPUs, in clock ticks: whatever the
// kernel does for a frame belongs to no process.
uint64_t GuestBusyTicks()
{
    std::ifstream stat("/proc/stat");
    std::string cpu;
    uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq;
    return user + nice + system + irq + softirq;
}

constexpr uint64_t kLineRateFrames = 5952;  // a second of the line, at 14 bytes a frame
constexpr auto kSlcanCatchUp = 5s;
constexpr auto kSlcanSettled = 300ms;  // candump that long without a new frame has all there is

// What a run of frames cost the guest and how many came out of candump.
struct LineRun {
    double seconds = 0;
    uint64_t busyTicks = 0;
    size_t delivered = 0;
    double UsPerFrame(uint64_t frames) const
    {
        return 1e6 * double(busyTicks) / double(::sysconf(_SC_CLK_TCK)) / double(frames);
    }
};

// The guest's /dev has no pseudo-terminals of its own until devpts is there;
// unmounted again at the end, so that the other tests see the guest as it was.
class Devpts {
public:
    Devpts()
        : mounted_(!Shell("grep -q ' /dev/pts devpts ' /proc/mounts") &&
                   Shell("mkdir -p /dev/pts && mount -t devpts -o ptmxmode=0666 devpts /dev/pts"))
    {
    }
    ~Devpts()
    {
        if (mounted_)
            Shell("umount /dev/pts");
    }
    bool Ready() const { return mounted_ || Shell("grep -q ' /dev/pts devpts ' /proc/mounts"); }

private:
    bool mounted_;
};

// frames at the full line rate from a simulator on a pseudo-terminal in the
// guest, through vektacand into vcan0 and out through candump.
void RunVektacand(uint64_t frames, const testing_support::TempDir &dir, LineRun &run)
{
    if (HasInterface("vcan0"))
        Shell("ip link del vcan0");
    ASSERT_TRUE(Shell("ip link add dev vcan0 type vcan && ip link set up vcan0"));
    vektasim::Options options;
    options.traffic = vektasim::Traffic::Flood;
    options.throttle = true;
    options.frameLimit = frames;
    vektasim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    Child candump(Candump("vcan0"), (dir.path() / "candump.log").string(), false);
    Child bridge({VEKTACAND_PROGRAM, "--log-dir", dir.logPath(), simulator.PortPath(), "vcan0"},
                 (dir.path() / "bridge.out").string(), false);
    ASSERT_TRUE(WaitFor([&] { return simulator.Streaming(); }, kFramesWait)) << bridge.Err();
    const uint64_t ticksBefore = GuestBusyTicks();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return simulator.FramesSent() >= frames; }, 180s));
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.busyTicks = GuestBusyTicks() - ticksBefore;
    EXPECT_TRUE(WaitFor([&] { return candump.Lines() >= frames; }, kFramesWait)) << candump.Lines();
    EXPECT_EQ(bridge.End(SIGTERM), 0) << bridge.Err();
    candump.End(SIGINT);
    simulator.Stop();
    Shell("ip link del vcan0");
    run.delivered = candump.Lines();
    const std::string err = bridge.Err();
    EXPECT_NE(err.find(std::to_string(frames) + " forwarded, 0 dropped"), std::string::npos) << err;
}

// The full line rate into vcan0 for VEKTABENCH_LINE_RATE_S seconds (a
// minute for the figure, less in the test command): every frame, none dropped.
TEST(BridgeLineRate, IntoVcan0EveryFrameDelivered)
{
    const uint64_t frames = kLineRateFrames * std::stoull(Environment("VEKTABENCH_LINE_RATE_S"));
    const testing_support::TempDir dir;
    const Devpts devpts;
    ASSERT_TRUE(devpts.Ready());
    LineRun run;
    RunVektacand(frames, dir, run);
    EXPECT_EQ(run.delivered, frames);
    std::printf("[ FIGURE   ] line rate into vcan0: %llu frames in %.1f s (%.0f frames/s), %zu through candump; "
                "guest CPU (simulator, bridge, candump, kernel) %.1f us a frame\n",
                static_cast<unsigned long long>(frames), run.seconds, frames / run.seconds, run.delivered,
                run.UsPerFrame(frames));
}

// A frame as an SLCAN adapter sends it: t<id3><len><data>\r, T<id8><len><data>\r for 29 bits.
std::string SlcanLine(const vektasim::CanFrame &frame)
{
    char line[32];
    int size = std::snprintf(line, sizeof line, frame.extended ? "T%08X%u" : "t%03X%u", unsigned(frame.id),
                             unsigned(frame.length));
    for (uint8_t k = 0; k < frame.length; ++k)
        size += std::snprintf(line + size, sizeof line - size_t(size), "%02X", unsigned(frame.data[k]));
    return std::string(line, size_t(size)) + '\r';
}

bool WriteAll(int fd, const std::string &bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        // A pty whose slave runs another line discipline than n_tty never wakes
        // a writer blocked on a full buffer: the master is non-blocking, and
        // a full buffer is tried again.
        if (written < 0 && errno == EAGAIN)
            std::this_thread::sleep_for(1ms);
        else if (written < 0 && errno != EINTR)
            return false;
        done += size_t(std::max<ssize_t>(written, 0));
    }
    return true;
}

// Writes the frames as SLCAN text at the line rate, a batch each tick; the
// frames written are kept in sent.
bool FeedSlcan(int fd, uint64_t frames, std::vector<vektasim::CanFrame> &sent)
{
    constexpr auto kTick = 5ms;
    constexpr uint64_t kMaxBatch = 60;  // twice a tick's frames
    const auto source = vektasim::MakeFlood(vektasim::Options().floodIds);
    const auto start = std::chrono::steady_clock::now();
    for (auto next = start; sent.size() < frames; next += kTick) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // A stall of the emulated processor is not made up in one burst, which
        // would overrun the kernel's receive backlog.
        const uint64_t due =
            std::min({frames, uint64_t(elapsed * double(kLineRateFrames)) + 1, uint64_t(sent.size()) + kMaxBatch});
        std::string text;
        while (sent.size() < due) {
            sent.push_back(source->Take());
            text += SlcanLine(sent.back());
        }
        if (!WriteAll(fd, text))
            return false;
        std::this_thread::sleep_until(next + kTick);  // pacing the line, not waiting for a result
    }
    return true;
}

// The same frames as SLCAN text on a pseudo-terminal in the guest, through
// can-utils' slcand and the kernel's slcan line discipline into slcan0 and
// out through candump.
void RunSlcand(uint64_t frames, const testing_support::TempDir &dir, LineRun &run)
{
    struct Master {
        int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ~Master()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } pty;
    const int master = pty.fd;
    ASSERT_GE(master, 0) << std::strerror(errno);
    ASSERT_TRUE(::grantpt(master) == 0 && ::unlockpt(master) == 0) << std::strerror(errno);
    const char *slave = ::ptsname(master);
    ASSERT_NE(slave, nullptr);
    Child slcand({SLCAND_PROGRAM, "-o", "-c", "-f", "-s6", "-F", slave, "slcan0"}, (dir.path() / "slcand.out").string(),
                 false);
    ASSERT_TRUE(WaitFor([] { return HasInterface("slcan0"); }, kFramesWait)) << slcand.Err();
    ASSERT_TRUE(Shell("ip link set up slcan0"));
    Child candump(Candump("slcan0"), (dir.path() / "slcan-candump.log").string(), false);
    // candump reads once its socket is on the interface's list.
    ASSERT_TRUE(
        WaitFor([] { return ReadFile("/proc/net/can/rcvlist_all").find("slcan0") != std::string::npos; }, kFramesWait));
    std::vector<vektasim::CanFrame> sent;
    const uint64_t ticksBefore = GuestBusyTicks();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(FeedSlcan(master, frames, sent)) << std::strerror(errno);
    // Until every frame is through, or the line discipline's losses are plain.
    size_t seen = 0;
    auto grew = std::chrono::steady_clock::now();
    WaitFor(
        [&] {
            const size_t lines = candump.Lines();
            const auto now = std::chrono::steady_clock::now();
            if (lines != seen)
                seen = lines, grew = now;
            return lines >= frames || now - grew >= kSlcanSettled;
        },
        kSlcanCatchUp);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.busyTicks = GuestBusyTicks() - ticksBefore;
    candump.End(SIGINT);
    slcand.End(SIGTERM);
    run.delivered = candump.Lines();
    // What came through is the frames fed, in order; the kernel's, not ours, are any losses.
    const auto received = CandumpFrames(candump.Out());
    auto next = sent.begin();
    for (const vektasim::CanFrame &frame : received)
        next = std::find_if(next, sent.end(), [&](const vektasim::CanFrame &fed) { return SameFrame(fed, frame); });
    EXPECT_TRUE(!received.empty() && next != sent.end()) << received.size() << " frames, not those fed in order";
}

// The same frames at the line rate through vektacand and through can-utils'
// slcand with the kernel's slcan line discipline: the guest's whole CPU time
// a frame for each, since a line discipline's work belongs to no process.
TEST(BridgeLineRate, BesideSlcandOnTheSameFramesCpuPerFrame)
{
    constexpr uint64_t kFrames = kLineRateFrames * 5;
    const testing_support::TempDir dir;
    const Devpts devpts;
    ASSERT_TRUE(devpts.Ready());
    LineRun bridge, slcan;
    RunVektacand(kFrames, dir, bridge);
    RunSlcand(kFrames, dir, slcan);
    EXPECT_EQ(bridge.delivered, kFrames);
    EXPECT_GT(slcan.delivered, 0u);
    const double bridgeUs = bridge.UsPerFrame(kFrames), slcanUs = slcan.UsPerFrame(kFrames);
    std::printf("[ FIGURE   ] %llu frames at the line rate, guest CPU a frame: vektacand into vcan0 %.1f us "
                "(%.1f s, %zu through candump), slcand and slcan into slcan0 %.1f us (%.1f s, %zu through candump); "
                "ratio %.2f (goal at most 2)\n",
                static_cast<unsigned long long>(kFrames), bridgeUs, bridge.seconds, bridge.delivered, slcanUs,
                slcan.seconds, slcan.delivered, bridgeUs / slcanUs);
}

}  // namespace

}  // namespace bench_support
