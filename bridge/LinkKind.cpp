#include "LinkKind.h"

#include <cerrno>
#include <cstring>

#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vektacand {

namespace {

// A link's answer holds its statistics and attributes, a few KiB at most.
constexpr size_t kAnswerBytes = 32768;

// The kind inside IFLA_LINKINFO, or empty.
std::string KindIn(const rtattr *linkInfo)
{
    int length = int(RTA_PAYLOAD(linkInfo));
    for (auto *nested = static_cast<const rtattr *>(RTA_DATA(linkInfo)); RTA_OK(nested, length);
         nested = RTA_NEXT(nested, length))
        if (nested->rta_type == IFLA_INFO_KIND)
            return std::string(static_cast<const char *>(RTA_DATA(nested)),
                               ::strnlen(static_cast<const char *>(RTA_DATA(nested)), RTA_PAYLOAD(nested)));
    return {};
}

int ReadKind(const nlmsghdr *header, size_t size, std::string &kind)
{
    if (!NLMSG_OK(header, size))
        return EPROTO;
    if (header->nlmsg_type == NLMSG_ERROR) {
        if (header->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
            return EPROTO;
        const int error = -static_cast<const nlmsgerr *>(NLMSG_DATA(header))->error;
        return error != 0 ? error : EPROTO;
    }
    if (header->nlmsg_type != RTM_NEWLINK || header->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
        return EPROTO;
    const auto *info = static_cast<const ifinfomsg *>(NLMSG_DATA(header));
    int length = int(IFLA_PAYLOAD(header));
    kind.clear();
    for (auto *attribute = IFLA_RTA(info); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length))
        if (attribute->rta_type == IFLA_LINKINFO)
            kind = KindIn(attribute);
    return 0;
}

}  // namespace

int AskLinkKind(unsigned index, std::string &kind)
{
    if (index == 0)
        return ENODEV;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return errno;
    struct {
        nlmsghdr header;
        ifinfomsg info;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
    request.header.nlmsg_type = RTM_GETLINK;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.info.ifi_family = AF_UNSPEC;
    request.info.ifi_index = int(index);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    int result = 0;
    if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0) {
        result = errno;
    } else {
        alignas(nlmsghdr) static thread_local char answer[kAnswerBytes];
        const ssize_t got = ::recv(fd, answer, sizeof answer, MSG_TRUNC);
        if (got < 0)
            result = errno;
        else if (size_t(got) > sizeof answer)
            result = EMSGSIZE;
        else
            result = ReadKind(reinterpret_cast<const nlmsghdr *>(answer), size_t(got), kind);
    }
    ::close(fd);
    return result;
}

}  // namespace vektacand
