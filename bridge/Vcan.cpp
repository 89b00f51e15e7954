#include "Vcan.h"

#include "LinkKind.h"

#include <cerrno>
#include <cstring>

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vektacand {

namespace {

constexpr size_t kRequestBytes = 512;

// A netlink request under construction: header, interface message, attributes.
class LinkRequest {
public:
    LinkRequest(uint16_t flags, int index)
    {
        header()->nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
        header()->nlmsg_type = RTM_NEWLINK;
        header()->nlmsg_flags = uint16_t(NLM_F_REQUEST | NLM_F_ACK | flags);
        auto *info = static_cast<ifinfomsg *>(NLMSG_DATA(header()));
        info->ifi_family = AF_UNSPEC;
        info->ifi_index = index;
        info->ifi_change = IFF_UP;
        info->ifi_flags = IFF_UP;
    }

    rtattr *Add(uint16_t type, const void *data, size_t size)
    {
        auto *attribute = reinterpret_cast<rtattr *>(bytes_ + NLMSG_ALIGN(header()->nlmsg_len));
        attribute->rta_type = type;
        attribute->rta_len = uint16_t(RTA_LENGTH(size));
        if (size > 0)
            std::memcpy(RTA_DATA(attribute), data, size);
        header()->nlmsg_len = uint32_t(NLMSG_ALIGN(header()->nlmsg_len) + RTA_ALIGN(attribute->rta_len));
        return attribute;
    }

    // Closes a nested attribute opened by Add with no data.
    void End(rtattr *nest) { nest->rta_len = uint16_t(bytes_ + header()->nlmsg_len - reinterpret_cast<char *>(nest)); }

    nlmsghdr *header() { return reinterpret_cast<nlmsghdr *>(bytes_); }

private:
    alignas(nlmsghdr) char bytes_[kRequestBytes] = {};
};

// Sends the request and answers the kernel's acknowledgement: 0 or an errno.
int Transact(LinkRequest &request)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return errno;
    int result = 0;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, request.header(), request.header()->nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel),
                 sizeof kernel) < 0) {
        result = errno;
    } else {
        alignas(nlmsghdr) char answer[kRequestBytes];
        const ssize_t got = ::recv(fd, answer, sizeof answer, 0);
        const auto *header = reinterpret_cast<const nlmsghdr *>(answer);
        if (got < 0)
            result = errno;
        else if (size_t(got) < NLMSG_LENGTH(sizeof(nlmsgerr)) || header->nlmsg_type != NLMSG_ERROR)
            result = EPROTO;
        else
            result = -static_cast<const nlmsgerr *>(NLMSG_DATA(header))->error;
    }
    ::close(fd);
    return result;
}

int Create(const std::string &name)
{
    LinkRequest request(NLM_F_CREATE | NLM_F_EXCL, 0);
    request.Add(IFLA_IFNAME, name.c_str(), name.size() + 1);
    rtattr *linkInfo = request.Add(IFLA_LINKINFO, nullptr, 0);
    request.Add(IFLA_INFO_KIND, kVcanKind, std::strlen(kVcanKind));
    request.End(linkInfo);
    return Transact(request);
}

// Whether the interface is up; an errno when that cannot be learnt.
int IsUp(const std::string &name, bool &up)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return errno;
    ifreq request{};
    std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
    const int result = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 ? 0 : errno;
    ::close(fd);
    up = (request.ifr_flags & IFF_UP) != 0;
    return result;
}

}  // namespace

int EnsureVcan(const std::string &name)
{
    const unsigned index = ::if_nametoindex(name.c_str());
    if (index == 0)
        return Create(name);
    // Raising another kind would put a real bus or a gateway to work.
    std::string kind;
    if (const int error = AskLinkKind(index, kind))
        return error;
    if (kind != kVcanKind)
        return EEXIST;
    bool up = false;
    if (const int error = IsUp(name, up))
        return error;
    if (up)
        return 0;
    LinkRequest request(0, int(index));
    return Transact(request);
}

std::string VcanCommands(const std::string &name)
{
    return "ip link add dev " + name + " type vcan && ip link set up " + name;
}

}  // namespace vektacand
