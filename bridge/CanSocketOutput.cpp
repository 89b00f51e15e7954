#include "CanSocketOutput.h"

#include <cerrno>
#include <cstring>

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include "LinkKind.h"
#include "Vcan.h"
#include "WireIdentifier.h"

namespace vektacand {

namespace {

// How often a lost interface is looked for while frames come.
constexpr auto kReattachPause = std::chrono::milliseconds(300);

can_frame ToCanFrame(const SinkFrame &frame)
{
    can_frame out{};
    const WireIdentifier wire = ToWire(frame.id);
    out.can_id = wire.extended ? (wire.id | CAN_EFF_FLAG) : wire.id;
    out.len = frame.length;
    std::memcpy(out.data, frame.data, frame.length);
    return out;
}

}  // namespace

CanSocketOutput::CanSocketOutput(std::string iface, bool create, bool anyKind)
    : iface_(std::move(iface)), create_(create), anyKind_(anyKind)
{
}

CanSocketOutput::~CanSocketOutput()
{
    Detach();
}

std::optional<AttachFailure> CanSocketOutput::Attach()
{
    if (create_) {
        const int error = EnsureVcan(iface_);
        if (error == EPERM)
            return AttachFailure{"creating " + iface_ + " needs CAP_NET_ADMIN, which this process does not have; " +
                                 "an administrator can make it instead: " + VcanCommands(iface_)};
        // EEXIST: there is another kind of that name, which Open judges.
        if (error != 0 && error != EEXIST)
            return AttachFailure{"cannot create " + iface_ + ": " + std::strerror(error) +
                                 " (is the vcan module available?)"};
    }
    const int error = Open();
    if (error == Delivery::kNotVcan)
        return AttachFailure{
            iface_ + " is " + (kindFound_.empty() ? "an interface of no link kind" : "a " + kindFound_ + " interface") +
                ", not a vcan: frames written to it could reach a real bus; give " +
                "--write-to-any-interface to write to it all the same",
            true};
    if (error == ENODEV)
        return AttachFailure{"there is no interface " + iface_ +
                             "; give --create, or as administrator: " + VcanCommands(iface_)};
    if (error != 0)
        return AttachFailure{"cannot write to " + iface_ + ": " + std::strerror(error)};
    return std::nullopt;
}

// A socket bound to the interface by its current index, taking no frames
// in; the kind is asked of that same index, so a name made again as another
// kind between the two is still caught.
int CanSocketOutput::Open()
{
    const unsigned index = ::if_nametoindex(iface_.c_str());
    if (index == 0)
        return ENODEV;
    if (const int error = AskLinkKind(index, kindFound_))
        return error;
    if (kindFound_ != kVcanKind && !anyKind_)
        return Delivery::kNotVcan;
    const int fd = ::socket(PF_CAN, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, CAN_RAW);
    if (fd < 0)
        return errno;
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = int(index);
    if (::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_FILTER, nullptr, 0) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

void CanSocketOutput::Detach()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void CanSocketOutput::Drop(int reason)
{
    delivery_.dropReason = reason;
    delivery_.dropped.fetch_add(1);
}

void CanSocketOutput::Take(const SinkFrame &frame)
{
    if (fd_ < 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTry_ < kReattachPause) {
            Drop(lastFailure_);
            return;
        }
        lastTry_ = now;
        int error = create_ ? EnsureVcan(iface_) : 0;
        if (error == 0 || error == EEXIST)
            error = Open();
        if (error != 0) {
            // Frames until the next try are dropped for the same reason.
            lastFailure_ = error == Delivery::kNotVcan ? error : ENODEV;
            Drop(lastFailure_);
            return;
        }
        delivery_.reattached.fetch_add(1);
    }
    const can_frame out = ToCanFrame(frame);
    if (::send(fd_, &out, sizeof out, MSG_DONTWAIT) == ssize_t(sizeof out)) {
        delivery_.forwarded.fetch_add(1);
        return;
    }
    const int error = errno;
    // Gone: the socket lost its binding, the name may come back with a new index.
    if (error == ENXIO || error == ENODEV)
        Detach();
    Drop(error);
}

}  // namespace vektacand
