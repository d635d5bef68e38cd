#include "platform/linux/nfqueue_driver.h"

#include "platform/linux/packet_segment.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <libmnl/libmnl.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netfilter/nfnetlink_queue.h>
// The library header declares its own copies of some kernel structures.
#include <libnetfilter_queue/libnetfilter_queue.h>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace rivulo {

namespace {

// driverData bits.
constexpr uint64_t kLeftQueue = 1;     // dropped from the kernel queue; send = raw re-send
constexpr uint64_t kUnfinished = 2;    // checksum left to the card, or a GSO/GRO packet
constexpr uint64_t kTruncated = 4;     // we hold only a part of it: never re-send, keep its slot

// Netlink overhead around one copied packet: headers and attributes.
constexpr size_t kMessageOverhead = 4096;
constexpr size_t kBatchBytes = 16384;
constexpr int kBatchVerdicts = 64;
constexpr int kSocketBufferBytes = 16 * 1024 * 1024;

DriverError errnoError(int err, const std::string& what) {
  DriverError e;
  switch (err) {
    case EPERM:
    case EACCES:
      e.kind = DriverErrorKind::AccessDenied;
      break;
    case ENOENT:
    case EPROTONOSUPPORT:
    case EAFNOSUPPORT:
    case EOPNOTSUPP:
      e.kind = DriverErrorKind::NotFound;
      break;
    default:
      e.kind = DriverErrorKind::Other;
      break;
  }
  e.code = static_cast<uint32_t>(err);
  e.detail = what + ": " + std::strerror(err);
  return e;
}

// Whether this process may administer the network (the effective set of
// /proc/self/status; CAP_NET_ADMIN is bit 12). Root in a user namespace, or a
// run with the capability dropped, has uid 0 without it.
bool hasNetAdmin() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return geteuid() == 0;
  char line[256];
  unsigned long long caps = 0;
  bool found = false;
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::sscanf(line, "CapEff: %llx", &caps) == 1) {
      found = true;
      break;
    }
  std::fclose(f);
  return found ? (caps >> 12) & 1 : geteuid() == 0;
}

void enlargeReceiveBuffer(int fd) {
  int size = kSocketBufferBytes;
  // RCVBUFFORCE goes beyond rmem_max (we are privileged); fall back quietly.
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

}  // namespace

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

void NfqueueDriver::MnlDeleter::operator()(mnl_socket* s) const { mnl_socket_close(s); }

NfqueueDriver::NfqueueDriver() = default;

NfqueueDriver::~NfqueueDriver() { close(); }

DriverError NfqueueDriver::open(const std::string& filterText, DriverMode mode, const DriverParams& params) {
  (void)params;  // the kernel queue is always as long as it can be (see kKernelQueueLength)
  close();
  mode_ = mode;
  receiveShut_ = false;
  sendShut_ = false;
  heldInKernel_ = 0;
  maxIdSeen_ = 0;
  recvLength_ = recvOffset_ = 0;
  mtus_.clear();
  if (DriverError e = filter_.compile(filterText.empty() ? std::string("true") : filterText)) return e;
  loIndex_ = if_nametoindex("lo");
  wake_.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake_) return errnoError(errno, "eventfd");
  DriverError e = mode == DriverMode::PassiveMonitor ? openMonitor() : openQueue();
  if (e) {
    close();
    return e;
  }
  opened_ = true;
  return {};
}

DriverError NfqueueDriver::openMonitor() {
  packetSocket_.reset(::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ALL)));
  if (!packetSocket_) return errnoError(errno, "packet socket");
  enlargeReceiveBuffer(packetSocket_.get());
  recvBuffer_.assign(65536, 0);
  return {};
}

DriverError NfqueueDriver::configure(uint8_t command, bool withParams) {
  std::vector<char> buf(MNL_SOCKET_BUFFER_SIZE);
  nlmsghdr* nlh = nfq_nlmsg_put(buf.data(), NFQNL_MSG_CONFIG, kNfqueueNumber);
  nlh->nlmsg_flags |= NLM_F_ACK;
  const uint32_t seq = static_cast<uint32_t>(time(nullptr)) + command;
  nlh->nlmsg_seq = seq;
  if (command != NFQNL_CFG_CMD_NONE) nfq_nlmsg_cfg_put_cmd(nlh, AF_INET, command);
  if (withParams) {
    nfq_nlmsg_cfg_put_params(nlh, NFQNL_COPY_PACKET, 0xffff);
    nfq_nlmsg_cfg_put_qmaxlen(nlh, kKernelQueueLength);
    // Fail-open: a full queue lets packets pass instead of dropping them.
    // GSO: large TCP segments come to us whole (one verdict instead of dozens);
    // the few we re-send are cut and their checksums completed by rawSend.
    mnl_attr_put_u32(nlh, NFQA_CFG_FLAGS, htonl(NFQA_CFG_F_FAIL_OPEN | NFQA_CFG_F_GSO));
    mnl_attr_put_u32(nlh, NFQA_CFG_MASK, htonl(NFQA_CFG_F_FAIL_OPEN | NFQA_CFG_F_GSO));
  }
  if (mnl_socket_sendto(nl_.get(), nlh, nlh->nlmsg_len) < 0) return errnoError(errno, "queue configuration");
  ssize_t n = mnl_socket_recvfrom(nl_.get(), buf.data(), buf.size());
  if (n < 0) return errnoError(errno, "queue configuration");
  if (mnl_cb_run(buf.data(), static_cast<size_t>(n), seq, portId_, nullptr, nullptr) < 0) {
    int err = errno;
    if (err == EPERM && hasNetAdmin()) {
      // Binding a queue that another process owns fails with EPERM too.
      DriverError e{DriverErrorKind::Other, static_cast<uint32_t>(EBUSY),
                    "queue " + std::to_string(kNfqueueNumber) + " is used by another program"};
      return e;
    }
    return errnoError(err, "queue configuration");
  }
  return {};
}

DriverError NfqueueDriver::openQueue() {
  nl_.reset(mnl_socket_open2(NETLINK_NETFILTER, SOCK_CLOEXEC));
  if (!nl_) return errnoError(errno, "netlink socket");
  if (mnl_socket_bind(nl_.get(), 0, MNL_SOCKET_AUTOPID) < 0) return errnoError(errno, "netlink bind");
  portId_ = mnl_socket_get_portid(nl_.get());
  const int fd = mnl_socket_get_fd(nl_.get());
  enlargeReceiveBuffer(fd);
  // A burst bigger than the buffer loses messages; the kernel then lets those
  // packets pass (fail-open) and the socket reports ENOBUFS, which is no error
  // for us.
  int one = 1;
  setsockopt(fd, SOL_NETLINK, NETLINK_NO_ENOBUFS, &one, sizeof one);

  if (DriverError e = configure(NFQNL_CFG_CMD_BIND, false)) return e;
  if (DriverError e = configure(NFQNL_CFG_CMD_NONE, true)) return e;

  raw4_.reset(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW));
  if (!raw4_) return errnoError(errno, "raw socket");
  uint32_t mark = kRivuloMark;
  if (setsockopt(raw4_.get(), SOL_SOCKET, SO_MARK, &mark, sizeof mark) != 0) return errnoError(errno, "SO_MARK");
  raw6_.reset(::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW));
  if (raw6_ && setsockopt(raw6_.get(), SOL_SOCKET, SO_MARK, &mark, sizeof mark) != 0)
    return errnoError(errno, "SO_MARK");
  int sndbuf = kSocketBufferBytes;
  setsockopt(raw4_.get(), SOL_SOCKET, SO_SNDBUFFORCE, &sndbuf, sizeof sndbuf);
  if (raw6_) setsockopt(raw6_.get(), SOL_SOCKET, SO_SNDBUFFORCE, &sndbuf, sizeof sndbuf);

  recvBuffer_.assign(0xffff + kMessageOverhead, 0);
  batch_.assign(kBatchBytes, 0);
  batchLength_ = 0;
  batchCount_ = 0;

  RulePlan plan;
  plan.queueNumber = kNfqueueNumber;
  plan.mark = kRivuloMark;
  plan.includeLoopback = filter_.mentionsLoopback();
  const std::string& simple = filter_.simpleChoice();
  if (simple == "tcp" || simple == "udp") plan.protocol = simple;
  if (simple == "inbound") plan.outbound = false;
  if (simple == "outbound") plan.inbound = false;
  rulesSelectExactly_ = !simple.empty();
  return rules_.install(plan);
}

bool NfqueueDriver::waitReadable(int fd, int timeoutMs) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {wake_.get(), POLLIN, 0}};
  for (;;) {
    if (receiveShut_) return false;
    int n = ::poll(fds, 2, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    if (receiveShut_) return false;
    return n > 0 && (fds[0].revents & (POLLIN | POLLERR));
  }
}

DriverError NfqueueDriver::receive(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address) {
  receiver_.store(std::this_thread::get_id());
  length = 0;
  if (!opened_) return {DriverErrorKind::Aborted, 0, {}};
  return mode_ == DriverMode::PassiveMonitor ? receiveSniffed(buffer, capacity, length, address)
                                              : receiveQueued(buffer, capacity, length, address);
}

DriverError NfqueueDriver::receiveSniffed(uint8_t* buffer, size_t capacity, size_t& length,
                                          PacketAddress& address) {
  const int fd = packetSocket_.get();
  for (;;) {
    if (!waitReadable(fd, -1)) return {DriverErrorKind::NoData, 0, {}};
    sockaddr_ll from{};
    socklen_t fromLen = sizeof from;
    ssize_t n = ::recvfrom(fd, buffer, capacity, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR || errno == ENETDOWN) continue;
      return errnoError(errno, "packet socket receive");
    }
    const uint16_t proto = ntohs(from.sll_protocol);
    if (proto != ETH_P_IP && proto != ETH_P_IPV6) continue;
    const bool loopback = static_cast<unsigned>(from.sll_ifindex) == loIndex_;
    if (loopback && !filter_.mentionsLoopback()) continue;
    const bool outbound = from.sll_pkttype == PACKET_OUTGOING;
    const size_t len = static_cast<size_t>(n);
    if (!filter_.matches(buffer, len, outbound, loopback)) continue;
    length = len;
    address = {};
    address.outbound = outbound;
    address.interfaceIndex = static_cast<uint32_t>(from.sll_ifindex);
    return {};
  }
}

DriverError NfqueueDriver::receiveQueued(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address) {
  const int fd = mnl_socket_get_fd(nl_.get());
  for (;;) {
    if (receiveShut_) {
      flushVerdicts();
      return {DriverErrorKind::NoData, 0, {}};
    }
    if (recvOffset_ >= recvLength_) {
      // Take what is there without blocking; only before waiting do the
      // collected verdicts go out, so a stream of packets shares sendto calls.
      ssize_t n = ::recv(fd, recvBuffer_.data(), recvBuffer_.size(), MSG_DONTWAIT);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        flushVerdicts();
        if (!waitReadable(fd, -1)) {
          flushVerdicts();
          return {DriverErrorKind::NoData, 0, {}};
        }
        continue;
      }
      if (n < 0) {
        if (errno == EINTR || errno == ENOBUFS) continue;
        flushVerdicts();
        return errnoError(errno, "queue receive");
      }
      recvLength_ = static_cast<size_t>(n);
      recvOffset_ = 0;
    }
    auto* nlh = reinterpret_cast<nlmsghdr*>(recvBuffer_.data() + recvOffset_);
    const size_t remaining = recvLength_ - recvOffset_;
    if (!mnl_nlmsg_ok(nlh, static_cast<int>(remaining))) {
      recvOffset_ = recvLength_;
      continue;
    }
    recvOffset_ += NLMSG_ALIGN(nlh->nlmsg_len);
    if ((nlh->nlmsg_type & 0xff) != NFQNL_MSG_PACKET || (nlh->nlmsg_type >> 8) != NFNL_SUBSYS_QUEUE) continue;

    nlattr* attr[NFQA_MAX + 1] = {};
    if (nfq_nlmsg_parse(nlh, attr) < 0 || attr[NFQA_PACKET_HDR] == nullptr) continue;
    auto* ph = static_cast<nfqnl_msg_packet_hdr*>(mnl_attr_get_payload(attr[NFQA_PACKET_HDR]));
    const uint32_t id = ntohl(ph->packet_id);
    heldInKernel_.fetch_add(1);
    if (static_cast<int32_t>(id - maxIdSeen_) > 0) maxIdSeen_ = id;

    const bool outbound = ph->hook == NF_INET_LOCAL_OUT;
    const uint32_t indev = attr[NFQA_IFINDEX_INDEV] ? ntohl(mnl_attr_get_u32(attr[NFQA_IFINDEX_INDEV])) : 0;
    const uint32_t outdev = attr[NFQA_IFINDEX_OUTDEV] ? ntohl(mnl_attr_get_u32(attr[NFQA_IFINDEX_OUTDEV])) : 0;
    const uint32_t ifindex = outbound ? outdev : indev;
    const bool loopback = ifindex != 0 && ifindex == loIndex_;
    const uint8_t* payload = nullptr;
    size_t payloadLength = 0;
    if (attr[NFQA_PAYLOAD]) {
      payload = static_cast<const uint8_t*>(mnl_attr_get_payload(attr[NFQA_PAYLOAD]));
      payloadLength = mnl_attr_get_payload_len(attr[NFQA_PAYLOAD]);
    }
    if (!rulesSelectExactly_ && !filter_.matches(payload, payloadLength, outbound, loopback)) {
      // Not ours to condition: straight back, not counted by the engine.
      verdict(id, NF_ACCEPT);
      continue;
    }
    length = payloadLength < capacity ? payloadLength : capacity;
    if (length) std::memcpy(buffer, payload, length);
    address = {};
    address.outbound = outbound;
    address.packetId = id;
    address.interfaceIndex = ifindex;
    if (attr[NFQA_CAP_LEN] && ntohl(mnl_attr_get_u32(attr[NFQA_CAP_LEN])) > payloadLength)
      address.driverData |= kTruncated;
    if (length < payloadLength) address.driverData |= kTruncated;
    if (attr[NFQA_SKB_INFO]) {
      const uint32_t info = ntohl(mnl_attr_get_u32(attr[NFQA_SKB_INFO]));
      if (info & (NFQA_SKB_CSUMNOTREADY | NFQA_SKB_GSO)) address.driverData |= kUnfinished;
    }
    return {};
  }
}

size_t NfqueueDriver::interfaceMtu(uint32_t ifindex) {
  std::lock_guard lock(mtuMutex_);
  for (const auto& [index, mtu] : mtus_)
    if (index == ifindex) return mtu;
  size_t mtu = 1500;
  char name[IF_NAMESIZE] = {};
  if (if_indextoname(ifindex, name) != nullptr) {
    ifreq request{};
    std::memcpy(request.ifr_name, name, sizeof request.ifr_name);
    if (ioctl(raw4_.get(), SIOCGIFMTU, &request) == 0 && request.ifr_mtu >= 576) mtu = static_cast<size_t>(request.ifr_mtu);
  }
  mtus_.emplace_back(ifindex, mtu);
  return mtu;
}

void NfqueueDriver::flushVerdicts() {
  std::lock_guard lock(verdictMutex_);
  if (batchLength_ == 0 || !nl_) return;
  // Verdicts are not acknowledged; a failure (the id is gone) has no remedy.
  mnl_socket_sendto(nl_.get(), batch_.data(), batchLength_);
  batchLength_ = 0;
  batchCount_ = 0;
}

void NfqueueDriver::verdict(uint32_t id, int v) {
  if (!nl_) return;
  heldInKernel_.fetch_sub(1);
  if (receiver_.load() != std::this_thread::get_id()) {
    // The release thread: nobody would flush a batch for it soon.
    char buf[128];
    nlmsghdr* nlh = nfq_nlmsg_put(buf, NFQNL_MSG_VERDICT, kNfqueueNumber);
    nfq_nlmsg_verdict_put(nlh, static_cast<int>(id), v);
    mnl_socket_sendto(nl_.get(), nlh, nlh->nlmsg_len);
    return;
  }
  bool full = false;
  {
    std::lock_guard lock(verdictMutex_);
    nlmsghdr* nlh = nfq_nlmsg_put(batch_.data() + batchLength_, NFQNL_MSG_VERDICT, kNfqueueNumber);
    nfq_nlmsg_verdict_put(nlh, static_cast<int>(id), v);
    batchLength_ += NLMSG_ALIGN(nlh->nlmsg_len);
    full = ++batchCount_ >= kBatchVerdicts || batchLength_ + 128 > batch_.size();
  }
  if (full) flushVerdicts();
}

namespace {

// A copy of an arriving multicast or broadcast packet cannot be handed to
// this machine through a raw socket: it would be sent out to the link again.
bool groupDestination(const uint8_t* p, size_t length) {
  if (length >= 20 && (p[0] >> 4) == 4) return p[16] >= 224 || (p[16] == 255 && p[17] == 255 && p[18] == 255 && p[19] == 255);
  if (length >= 40 && (p[0] >> 4) == 6) return p[24] == 0xff;
  return false;
}

}  // namespace

DriverError NfqueueDriver::rawSend(const uint8_t* data, size_t length, const PacketAddress& address) {
  if (!address.outbound && groupDestination(data, length)) return {};
  const bool unfinished = (address.driverData & kUnfinished) != 0;
  // Arriving copies go to this machine over loopback, whose MTU takes any
  // packet; leaving ones must fit the interface they leave by.
  const size_t mtu = address.outbound && address.interfaceIndex != 0 ? interfaceMtu(address.interfaceIndex) : 65535;
  if (!unfinished && length <= mtu) {
    const iovec one{const_cast<uint8_t*>(data), length};
    return rawSendPieces(&one, 1, address);
  }
  // A large segment becomes dozens of packets: cut them all, then hand them
  // to the kernel in one sendmmsg call.
  std::vector<uint8_t> pieces;
  std::vector<std::pair<size_t, size_t>> spans;
  pieces.reserve(length + length / 16 + 256);
  forEachSegment(data, length, mtu, unfinished, [&](const uint8_t* piece, size_t size) {
    spans.emplace_back(pieces.size(), size);
    pieces.insert(pieces.end(), piece, piece + size);
    return true;
  });
  std::vector<iovec> iov(spans.size());
  for (size_t i = 0; i < spans.size(); ++i) iov[i] = {pieces.data() + spans[i].first, spans[i].second};
  return rawSendPieces(iov.data(), iov.size(), address);
}

DriverError NfqueueDriver::rawSendPieces(const iovec* pieces, size_t count, const PacketAddress& address) {
  if (count == 0 || pieces[0].iov_len < 1) return {DriverErrorKind::Other, static_cast<uint32_t>(EINVAL), "empty packet"};
  const auto* data = static_cast<const uint8_t*>(pieces[0].iov_base);
  const size_t length = pieces[0].iov_len;
  const uint8_t version = data[0] >> 4;
  msghdr msg{};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
  // Leaving packets go out of the interface they were leaving by. Arriving
  // copies are addressed to this machine and are routed back in locally.
  const bool pinInterface = address.outbound && address.interfaceIndex != 0;
  int fd = -1;
  sockaddr_in to4{};
  sockaddr_in6 to6{};
  if (version == 4 && length >= 20) {
    fd = raw4_.get();
    to4.sin_family = AF_INET;
    std::memcpy(&to4.sin_addr, data + 16, 4);
    msg.msg_name = &to4;
    msg.msg_namelen = sizeof to4;
    if (pinInterface) {
      msg.msg_control = control;
      msg.msg_controllen = CMSG_SPACE(sizeof(in_pktinfo));
      cmsghdr* c = CMSG_FIRSTHDR(&msg);
      c->cmsg_level = IPPROTO_IP;
      c->cmsg_type = IP_PKTINFO;
      c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
      in_pktinfo info{};
      info.ipi_ifindex = static_cast<int>(address.interfaceIndex);
      std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
  } else if (version == 6 && length >= 40) {
    fd = raw6_.get();
    to6.sin6_family = AF_INET6;
    std::memcpy(&to6.sin6_addr, data + 24, 16);
    if (IN6_IS_ADDR_LINKLOCAL(&to6.sin6_addr) || IN6_IS_ADDR_MC_LINKLOCAL(&to6.sin6_addr))
      to6.sin6_scope_id = address.interfaceIndex;
    msg.msg_name = &to6;
    msg.msg_namelen = sizeof to6;
    if (pinInterface) {
      msg.msg_control = control;
      msg.msg_controllen = CMSG_SPACE(sizeof(in6_pktinfo));
      cmsghdr* c = CMSG_FIRSTHDR(&msg);
      c->cmsg_level = IPPROTO_IPV6;
      c->cmsg_type = IPV6_PKTINFO;
      c->cmsg_len = CMSG_LEN(sizeof(in6_pktinfo));
      in6_pktinfo info{};
      info.ipi6_ifindex = address.interfaceIndex;
      std::memcpy(CMSG_DATA(c), &info, sizeof info);
    }
  }
  if (fd < 0) return {DriverErrorKind::Other, static_cast<uint32_t>(EAFNOSUPPORT), "packet family"};
  if (count == 1) {
    msg.msg_iov = const_cast<iovec*>(pieces);
    msg.msg_iovlen = 1;
    for (;;) {
      if (::sendmsg(fd, &msg, 0) >= 0) return {};
      if (errno == EINTR) continue;
      return errnoError(errno, "raw send");
    }
  }
  std::vector<mmsghdr> batch(count);
  for (size_t i = 0; i < count; ++i) {
    batch[i].msg_hdr = msg;
    batch[i].msg_hdr.msg_iov = const_cast<iovec*>(&pieces[i]);
    batch[i].msg_hdr.msg_iovlen = 1;
  }
  size_t sent = 0;
  while (sent < count) {
    int n = ::sendmmsg(fd, batch.data() + sent, static_cast<unsigned>(count - sent), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return errnoError(n < 0 ? errno : EIO, "raw send");
    sent += static_cast<size_t>(n);
  }
  return {};
}

DriverError NfqueueDriver::send(const uint8_t* data, size_t length, const PacketAddress& address) {
  if (!opened_ || mode_ != DriverMode::EffectPipeline || sendShut_)
    return {DriverErrorKind::Aborted, 0, "the capture is closed"};
  if (address.copy && (address.driverData & kTruncated)) return {};  // no whole bytes to copy
  if (address.copy || (address.driverData & kLeftQueue)) return rawSend(data, length, address);
  verdict(address.packetId, NF_ACCEPT);
  return {};
}

void NfqueueDriver::hold(PacketAddress& address) {
  if (mode_ != DriverMode::EffectPipeline || !address.outbound || address.copy) return;
  if (address.driverData & kLeftQueue) return;  // already out of the queue
  // A packet we could not copy whole waits in the queue like an arriving one.
  if (address.driverData & kTruncated) return;
  verdict(address.packetId, NF_DROP);
  address.driverData |= kLeftQueue;
}

void NfqueueDriver::discard(const PacketAddress& address) {
  if (mode_ != DriverMode::EffectPipeline || address.copy || (address.driverData & kLeftQueue)) return;
  verdict(address.packetId, NF_DROP);
}

void NfqueueDriver::shutdown(ShutdownHow how) {
  // Rules first: from now on no new packet enters the queue, and what the
  // engine still holds is released into a stack that no longer diverts.
  rules_.remove();
  if (how == ShutdownHow::Both) sendShut_ = true;
  receiveShut_ = true;
  if (wake_) {
    uint64_t one = 1;
    if (::write(wake_.get(), &one, sizeof one) < 0) {
      // The eventfd counter cannot overflow from a handful of writes.
    }
  }
}

void NfqueueDriver::drainInFlight(int graceMs) {
  // Packets the kernel queued before the rules went away and nobody read:
  // accept them, until the socket has been quiet for a short while.
  const int fd = mnl_socket_get_fd(nl_.get());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
  receiver_.store(std::this_thread::get_id());
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    int n = ::poll(&p, 1, 20);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    ssize_t len = ::recv(fd, recvBuffer_.data(), recvBuffer_.size(), MSG_DONTWAIT);
    if (len <= 0) {
      if (len < 0 && (errno == EINTR || errno == ENOBUFS || errno == EAGAIN)) continue;
      break;
    }
    int left = static_cast<int>(len);
    for (auto* nlh = reinterpret_cast<nlmsghdr*>(recvBuffer_.data()); mnl_nlmsg_ok(nlh, left);
         nlh = mnl_nlmsg_next(nlh, &left)) {
      if ((nlh->nlmsg_type & 0xff) != NFQNL_MSG_PACKET) continue;
      nlattr* attr[NFQA_MAX + 1] = {};
      if (nfq_nlmsg_parse(nlh, attr) < 0 || attr[NFQA_PACKET_HDR] == nullptr) continue;
      auto* ph = static_cast<nfqnl_msg_packet_hdr*>(mnl_attr_get_payload(attr[NFQA_PACKET_HDR]));
      const uint32_t id = ntohl(ph->packet_id);
      if (static_cast<int32_t>(id - maxIdSeen_) > 0) maxIdSeen_ = id;
      heldInKernel_.fetch_add(1);
      verdict(id, NF_ACCEPT);
    }
    flushVerdicts();
  }
  recvLength_ = recvOffset_ = 0;
}

void NfqueueDriver::close() {
  if (nl_) {
    rules_.remove();
    receiveShut_ = true;
    flushVerdicts();
    drainInFlight(200);
    // Whatever still has no verdict (nothing should: every taken packet got
    // one and held packets were flushed) would be dropped when the queue is
    // unbound; accept it instead. Safe only now that nothing is held.
    if (maxIdSeen_ != 0) {
      char buf[128];
      nlmsghdr* nlh = nfq_nlmsg_put(buf, NFQNL_MSG_VERDICT_BATCH, kNfqueueNumber);
      nfq_nlmsg_verdict_put(nlh, static_cast<int>(maxIdSeen_), NF_ACCEPT);
      mnl_socket_sendto(nl_.get(), nlh, nlh->nlmsg_len);
    }
    configure(NFQNL_CFG_CMD_UNBIND, false);
  }
  rules_.remove();
  nl_.reset();
  raw4_.reset();
  raw6_.reset();
  packetSocket_.reset();
  wake_.reset();
  opened_ = false;
  heldInKernel_ = 0;
}

bool NfqueueDriver::queueFull() const {
  return mode_ == DriverMode::EffectPipeline && heldInKernel_.load() >= static_cast<int64_t>(kKernelQueueLength);
}

PacketDriverFactory makeNfqueueDriverFactory() {
  return [] { return std::make_unique<NfqueueDriver>(); };
}

}  // namespace rivulo
