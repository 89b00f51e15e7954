#include "Simulator.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "PseudoTerminal.h"
#include "Server.h"
#include "SharedState.h"
#include "Traffic.h"
#include "WakeFd.h"

namespace vektasim {

struct Simulator::Impl {
    explicit Impl(Options o) : options(std::move(o)) {}

    bool Plug(std::string &error);
    void Unplug();
    void Serve();
    bool Hold(std::string &error);
    bool Release(std::string &error);
    std::string SlaveFailure() const;

    const Options options;
    SharedState shared;
    std::unique_ptr<TrafficSource> traffic;
    WakeFd wake;
    bool started = false;
    PseudoTerminal pty;
    mutable std::mutex pathMutex;  // slavePath changes on a replug
    std::string slavePath;
    std::thread thread;
    std::atomic<bool> stop{false};
    int heldSlave = -1;  // the client's side, open while its output is held
};

// Suspends the slave's output as flow control would; the slave stays open
// meanwhile, so the suspension outlives the client's own closes and reopens.
bool Simulator::Impl::Hold(std::string &error)
{
    if (heldSlave >= 0)
        return true;
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::tcflow(fd, TCOOFF) == 0) {
        heldSlave = fd;
        return true;
    }
    error = SlaveFailure();
    if (fd >= 0 && ::close(fd) != 0)
        error += "; " + SlaveFailure();
    return false;
}

bool Simulator::Impl::Release(std::string &error)
{
    if (heldSlave < 0)
        return true;
    const int fd = std::exchange(heldSlave, -1);
    bool done = ::tcflow(fd, TCOON) == 0;
    if (!done)
        error = SlaveFailure();
    if (::close(fd) != 0) {
        error = SlaveFailure();
        done = false;
    }
    return done;
}

std::string Simulator::Impl::SlaveFailure() const
{
    return pty.SlavePath() + ": " + std::strerror(errno);
}

bool Simulator::Impl::Plug(std::string &error)
{
    if (!pty.Open(options.linkPath, error))
        return false;
    {
        std::lock_guard lock(pathMutex);
        slavePath = pty.SlavePath();
    }
    stop.store(false);
    thread = std::thread([this] { Serve(); });
    return true;
}

void Simulator::Impl::Unplug()
{
    std::string ignored;  // a hung-up line holds nothing back anyway
    Release(ignored);
    if (thread.joinable()) {
        stop.store(true);
        wake.Signal();
        thread.join();
    }
    pty.Close();
    shared.SetStreaming(false);
}

void Simulator::Impl::Serve()
{
    Server server(options, shared, traffic.get(), pty.Master(), wake, stop);
    std::string error;
    if (!server.Run(error))
        std::fprintf(stderr, "vektasim: %s\n", error.c_str());
}

Simulator::Simulator(Options options) : impl_(std::make_unique<Impl>(std::move(options)))
{
}

Simulator::~Simulator()
{
    Stop();
}

bool Simulator::Start(std::string &error)
{
    if (impl_->started) {
        error = "already started";
        return false;
    }
    if (!impl_->wake.Open(error) || !MakeTraffic(impl_->options, impl_->traffic, error))
        return false;
    impl_->started = impl_->Plug(error);
    return impl_->started;
}

void Simulator::Stop()
{
    impl_->Unplug();
}

std::string Simulator::PortPath() const
{
    return impl_->options.linkPath.empty() ? SlavePath() : impl_->options.linkPath;
}

std::string Simulator::SlavePath() const
{
    std::lock_guard lock(impl_->pathMutex);
    return impl_->slavePath;
}

void Simulator::Unplug()
{
    impl_->Unplug();
}

bool Simulator::Replug(std::string &error)
{
    if (!impl_->started) {
        error = "not started";
        return false;
    }
    impl_->Unplug();
    return impl_->Plug(error);
}

void Simulator::SetFault(Fault fault)
{
    impl_->shared.SetFault(fault);
    impl_->wake.Signal();
}

bool Simulator::CutPower()
{
    constexpr auto kCutDeadline = std::chrono::seconds(1);
    constexpr auto kCutPoll = std::chrono::milliseconds(1);
    const uint64_t before = impl_->shared.PowerCutsDone();
    impl_->shared.CutPower();
    impl_->wake.Signal();
    const auto deadline = std::chrono::steady_clock::now() + kCutDeadline;
    while (impl_->shared.PowerCutsDone() == before) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kCutPoll);
    }
    return true;
}

bool Simulator::HoldOutput(bool held, std::string &error)
{
    return held ? impl_->Hold(error) : impl_->Release(error);
}

void Simulator::SetIgnoredCommands(const std::vector<uint8_t> &codes)
{
    impl_->shared.SetIgnored(codes);
}

std::vector<ReceivedMessage> Simulator::Received() const
{
    return impl_->shared.Received();
}

std::vector<uint8_t> Simulator::ReceivedBytes() const
{
    return impl_->shared.ReceivedBytes();
}

void Simulator::ClearReceived()
{
    impl_->shared.ClearReceived();
}

bool Simulator::Streaming() const
{
    return impl_->shared.Streaming();
}

uint64_t Simulator::FramesSent() const
{
    return impl_->shared.FramesSent();
}

std::vector<CanFrame> Simulator::SentFrames() const
{
    return impl_->shared.SentFrames();
}

void Simulator::SetRecordFrames(bool on)
{
    impl_->shared.SetRecordFrames(on);
}

void Simulator::QueueFrames(const std::vector<CanFrame> &frames)
{
    impl_->shared.Queue(frames);
    impl_->wake.Signal();
}

}  // namespace vektasim
