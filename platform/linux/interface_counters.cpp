#include "platform/linux/interface_counters.h"

#include <linux/if.h>
#include <linux/if_arp.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace rivulo {

bool linkIsCounted(const LinkCounters& link) {
  if ((link.flags & IFF_UP) == 0 || (link.flags & IFF_RUNNING) == 0) return false;
  if ((link.flags & IFF_LOOPBACK) != 0) return false;
  switch (link.type) {
    case ARPHRD_LOOPBACK:
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case ARPHRD_IP6GRE:
    case ARPHRD_NONE:  // tun devices and other header-less point-to-point tunnels
      return false;
    default:
      return true;
  }
}

InterfaceCounters sumLinks(const std::vector<LinkCounters>& links) {
  InterfaceCounters sums;
  sums.ok = true;
  for (const LinkCounters& link : links) {
    if (!linkIsCounted(link)) continue;
    sums.inPackets += link.rxPackets;
    sums.outPackets += link.txPackets;
  }
  return sums;
}

InterfaceCounterReader::InterfaceCounterReader() {
  fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd_ < 0) return;
  // A dump normally answers at once; the timeout only keeps a broken kernel
  // answer from stalling the monitor.
  timeval timeout{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

InterfaceCounterReader::~InterfaceCounterReader() {
  if (fd_ >= 0) ::close(fd_);
}

InterfaceCounters InterfaceCounterReader::read() {
  std::vector<LinkCounters> links;
  if (!readLinks(links)) return {};
  return sumLinks(links);
}

namespace {

void parseLink(const nlmsghdr* header, std::vector<LinkCounters>& links) {
  if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) return;
  const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(header));
  LinkCounters link;
  link.type = info->ifi_type;
  link.flags = info->ifi_flags;
  bool have64 = false;
  int remaining = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof(ifinfomsg)));
  for (const rtattr* attr = IFLA_RTA(info); RTA_OK(attr, remaining); attr = RTA_NEXT(attr, remaining)) {
    if (attr->rta_type == IFLA_STATS64 && RTA_PAYLOAD(attr) >= sizeof(rtnl_link_stats64)) {
      rtnl_link_stats64 stats;
      std::memcpy(&stats, RTA_DATA(attr), sizeof(stats));  // attribute data is only 4-byte aligned
      link.rxPackets = stats.rx_packets;
      link.txPackets = stats.tx_packets;
      have64 = true;
    } else if (attr->rta_type == IFLA_STATS && !have64 && RTA_PAYLOAD(attr) >= sizeof(rtnl_link_stats)) {
      rtnl_link_stats stats;
      std::memcpy(&stats, RTA_DATA(attr), sizeof(stats));
      link.rxPackets = stats.rx_packets;
      link.txPackets = stats.tx_packets;
    }
  }
  links.push_back(link);
}

}  // namespace

bool InterfaceCounterReader::readLinks(std::vector<LinkCounters>& links) {
  links.clear();
  if (fd_ < 0) return false;

  struct {
    nlmsghdr header;
    ifinfomsg info;
  } request{};
  const uint32_t sequence = ++sequence_;
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
  request.header.nlmsg_type = RTM_GETLINK;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = sequence;
  request.info.ifi_family = AF_UNSPEC;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(fd_, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof(kernel)) < 0) {
    return false;
  }

  // Room for the largest datagram a dump part can be; uint32 keeps the
  // netlink headers aligned.
  std::vector<uint32_t> buffer(16 * 1024);
  for (;;) {
    sockaddr_nl from{};
    socklen_t fromLength = sizeof(from);
    const ssize_t received = ::recvfrom(fd_, buffer.data(), buffer.size() * sizeof(uint32_t), 0,
                                        reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) return false;
    if (from.nl_pid != 0) continue;  // only the kernel answers dumps
    int remaining = static_cast<int>(received);
    for (const auto* header = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(header, remaining);
         header = NLMSG_NEXT(header, remaining)) {
      if (header->nlmsg_seq != sequence) continue;  // the tail of an earlier, abandoned dump
      if (header->nlmsg_type == NLMSG_DONE) return true;
      if (header->nlmsg_type == NLMSG_ERROR) return false;
      if (header->nlmsg_type == RTM_NEWLINK) parseLink(header, links);
    }
  }
}

}  // namespace rivulo
