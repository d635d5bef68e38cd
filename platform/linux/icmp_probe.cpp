#include "platform/linux/icmp_probe.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/linux/interface_counters.h"

namespace rivulo {

namespace {

using SteadyClock = std::chrono::steady_clock;

// "Rivulo" with its terminating NUL.
constexpr char kPayload[] = "Rivulo";
constexpr size_t kPayloadSize = sizeof(kPayload);
static_assert(kPayloadSize == 7);

// How long one wait for a reply lasts before the stop flag is looked at again.
constexpr int kWaitSliceMs = 50;

struct EchoHeader {
  uint8_t type;
  uint8_t code;
  uint16_t checksum;
  uint16_t identifier;
  uint16_t sequence;
};
static_assert(sizeof(EchoHeader) == 8);

constexpr uint8_t kEchoReply = 0;
constexpr uint8_t kEchoRequest = 8;

bool isErrorType(uint8_t type) {
  return type == ICMP_DEST_UNREACH || type == ICMP_SOURCE_QUENCH || type == ICMP_TIME_EXCEEDED ||
         type == ICMP_PARAMETERPROB;
}

PingResult failure(std::string message) {
  PingResult result;
  result.message = std::move(message);
  return result;
}

}  // namespace

ResolveResult resolveIpv4(const std::string& target) {
  ResolveResult result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(target.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) {
    if (list != nullptr) ::freeaddrinfo(list);
    return result;
  }
  const auto* address = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
  result.ok = true;
  result.address = address->sin_addr.s_addr;
  char text[22] = {};
  result.dotted = ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)) != nullptr ? text : target;
  ::freeaddrinfo(list);
  return result;
}

std::string icmpErrorText(int type, int code) {
  // The status numbers a Windows IP Helper echo reports for these replies,
  // so that a status reads the same on every build.
  unsigned status = 11050;
  const char* meaning = "general failure";
  switch (type) {
    case ICMP_DEST_UNREACH:
      switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_ANO:
        case ICMP_NET_UNR_TOS:
          status = 11002, meaning = "destination net unreachable";
          break;
        case ICMP_PROT_UNREACH:
          status = 11004, meaning = "destination protocol unreachable";
          break;
        case ICMP_PORT_UNREACH:
          status = 11005, meaning = "destination port unreachable";
          break;
        case ICMP_FRAG_NEEDED:
          status = 11009, meaning = "packet too big";
          break;
        case ICMP_SR_FAILED:
          status = 11012, meaning = "bad route";
          break;
        default:  // host unreachable, unknown, prohibited or filtered
          status = 11003, meaning = "destination host unreachable";
          break;
      }
      break;
    case ICMP_TIME_EXCEEDED:
      if (code == ICMP_EXC_FRAGTIME) {
        status = 11014, meaning = "time exceeded during reassembly";
      } else {
        status = 11013, meaning = "time exceeded in transit";
      }
      break;
    case ICMP_PARAMETERPROB:
      status = 11015, meaning = "parameter problem";
      break;
    case ICMP_SOURCE_QUENCH:
      status = 11016, meaning = "source quench";
      break;
    default:
      break;
  }
  return "ICMP status " + std::to_string(status) + " (" + meaning + ")";
}

uint16_t internetChecksum(const void* data, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(bytes[i] << 8 | bytes[i + 1]);
  if (length % 2 != 0) sum += static_cast<uint32_t>(bytes[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return htons(static_cast<uint16_t>(~sum));
}

IcmpPinger::IcmpPinger() {
  std::random_device seed;
  identifier_ = static_cast<uint16_t>(seed());
  sequence_ = static_cast<uint16_t>(seed());

  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ >= 0) {
    // Error replies (unreachable, time exceeded) arrive on the error queue.
    int on = 1;
    ::setsockopt(fd_, IPPROTO_IP, IP_RECVERR, &on, sizeof(on));
    return;
  }
  fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd_ < 0) return;
  raw_ = true;
  // A raw socket sees every ICMP message of the host; let the kernel pass
  // only replies and the errors that can answer an echo.
  icmp_filter filter{};
  filter.data = ~((1U << ICMP_ECHOREPLY) | (1U << ICMP_DEST_UNREACH) | (1U << ICMP_SOURCE_QUENCH) |
                  (1U << ICMP_TIME_EXCEEDED) | (1U << ICMP_PARAMETERPROB));
  ::setsockopt(fd_, SOL_RAW, ICMP_FILTER, &filter, sizeof(filter));
}

IcmpPinger::~IcmpPinger() {
  if (fd_ >= 0) ::close(fd_);
}

PingResult IcmpPinger::ping(uint32_t address, uint32_t timeoutMs, const std::atomic<bool>& stop) {
  if (fd_ < 0) return failure("ICMP is unavailable");

  // Leftovers of an earlier ping (late replies, old errors) must not be
  // taken for this one's answer; matching by sequence guards that too.
  char scratch[2048];
  while (::recv(fd_, scratch, sizeof(scratch), MSG_DONTWAIT) > 0) {
  }
  if (!raw_) {
    while (::recv(fd_, scratch, sizeof(scratch), MSG_DONTWAIT | MSG_ERRQUEUE) >= 0) {
    }
  }

  const uint16_t sequence = ++sequence_;
  uint8_t packet[sizeof(EchoHeader) + kPayloadSize] = {};
  EchoHeader header{kEchoRequest, 0, 0, htons(identifier_), htons(sequence)};
  std::memcpy(packet, &header, sizeof(header));
  std::memcpy(packet + sizeof(header), kPayload, kPayloadSize);
  header.checksum = internetChecksum(packet, sizeof(packet));
  std::memcpy(packet, &header, sizeof(header));

  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = address;
  const SteadyClock::time_point sent = SteadyClock::now();
  if (::sendto(fd_, packet, sizeof(packet), 0, reinterpret_cast<sockaddr*>(&destination), sizeof(destination)) < 0) {
    return failure("Ping error " + std::to_string(static_cast<unsigned>(errno)));
  }
  // A datagram socket's echoes carry the socket's port as identifier, put
  // there by the kernel.
  uint16_t identifier = identifier_;
  if (!raw_) {
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) == 0) identifier = ntohs(local.sin_port);
  }

  const SteadyClock::time_point deadline = sent + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (stop.load()) return failure("Request timed out");
    const SteadyClock::time_point now = SteadyClock::now();
    if (now >= deadline) return failure("Request timed out");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    pollfd waiter{fd_, POLLIN, 0};
    const int ready = ::poll(&waiter, 1, static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
    if (ready < 0 && errno != EINTR) return failure("Ping error " + std::to_string(static_cast<unsigned>(errno)));
    if (ready <= 0) continue;
    // A pending socket error keeps poll reporting POLLERR; reading SO_ERROR
    // clears it so that the wait does not spin. A datagram socket's error
    // queue is read first, below: it holds the details.
    auto clearSocketError = [this] {
      int pending = 0;
      socklen_t size = sizeof(pending);
      ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &pending, &size);
    };

    if (!raw_ && (waiter.revents & POLLERR) != 0) {
      // An error reply for one of our echoes: the queued copy of the echo
      // tells which one.
      uint8_t original[64];
      alignas(cmsghdr) char control[512];
      sockaddr_in offender{};
      iovec vector{original, sizeof(original)};
      msghdr message{};
      message.msg_name = &offender;
      message.msg_namelen = sizeof(offender);
      message.msg_iov = &vector;
      message.msg_iovlen = 1;
      message.msg_control = control;
      message.msg_controllen = sizeof(control);
      const ssize_t length = ::recvmsg(fd_, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
      if (length < 0) {
        clearSocketError();
        continue;
      }
      EchoHeader echoed{};
      if (static_cast<size_t>(length) >= sizeof(echoed)) std::memcpy(&echoed, original, sizeof(echoed));
      if (static_cast<size_t>(length) >= sizeof(echoed) && ntohs(echoed.sequence) != sequence) continue;
      for (cmsghdr* item = CMSG_FIRSTHDR(&message); item != nullptr; item = CMSG_NXTHDR(&message, item)) {
        if (item->cmsg_level != IPPROTO_IP || item->cmsg_type != IP_RECVERR) continue;
        sock_extended_err error;
        std::memcpy(&error, CMSG_DATA(item), sizeof(error));
        if (error.ee_origin == SO_EE_ORIGIN_ICMP) {
          // A redirect names a better route; the echo itself may still be answered.
          if (!isErrorType(error.ee_type)) break;
          return failure(icmpErrorText(error.ee_type, error.ee_code));
        }
        return failure("Ping error " + std::to_string(error.ee_errno));
      }
      continue;
    }
    if (raw_ && (waiter.revents & POLLERR) != 0) clearSocketError();  // the error packet itself comes as data
    if ((waiter.revents & POLLIN) == 0) continue;

    uint8_t buffer[1500];
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    const ssize_t length =
        ::recvfrom(fd_, buffer, sizeof(buffer), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (length <= 0) continue;
    const uint8_t* icmp = buffer;
    size_t icmpLength = static_cast<size_t>(length);
    if (raw_) {
      // A raw socket hands over the IP header too.
      const size_t headerLength = static_cast<size_t>(buffer[0] & 0x0F) * 4;
      if (headerLength < sizeof(iphdr) || icmpLength < headerLength + sizeof(EchoHeader)) continue;
      icmp += headerLength;
      icmpLength -= headerLength;
    }
    if (icmpLength < sizeof(EchoHeader)) continue;
    EchoHeader answer;
    std::memcpy(&answer, icmp, sizeof(answer));

    if (answer.type == kEchoReply) {
      if (from.sin_addr.s_addr != address) continue;
      if (ntohs(answer.sequence) != sequence || ntohs(answer.identifier) != identifier) continue;
      const auto elapsed = SteadyClock::now() - sent;
      PingResult result;
      result.online = true;
      result.pingMs = std::chrono::duration<float, std::milli>(elapsed).count();
      return result;
    }
    if (raw_ && isErrorType(answer.type)) {
      // The error quotes the IP header and the first 8 bytes of our echo.
      const uint8_t* quoted = icmp + sizeof(EchoHeader);
      const size_t quotedLength = icmpLength - sizeof(EchoHeader);
      if (quotedLength < sizeof(iphdr)) continue;
      iphdr inner;
      std::memcpy(&inner, quoted, sizeof(inner));
      const size_t innerLength = static_cast<size_t>(inner.ihl) * 4;
      if (inner.protocol != IPPROTO_ICMP || inner.daddr != address) continue;
      if (innerLength < sizeof(iphdr) || quotedLength < innerLength + sizeof(EchoHeader)) continue;
      EchoHeader echoed;
      std::memcpy(&echoed, quoted + innerLength, sizeof(echoed));
      if (echoed.type != kEchoRequest || ntohs(echoed.identifier) != identifier ||
          ntohs(echoed.sequence) != sequence) {
        continue;
      }
      return failure(icmpErrorText(answer.type, answer.code));
    }
  }
}

namespace {

class LinuxMonitorProbe final : public MonitorProbe {
 public:
  ResolveResult resolve(const std::string& target) override { return resolveIpv4(target); }
  bool icmpAvailable() override { return pinger_.available(); }
  PingResult ping(uint32_t address, uint32_t timeoutMs, const std::atomic<bool>& stop) override {
    return pinger_.ping(address, timeoutMs, stop);
  }
  InterfaceCounters readCounters() override { return counters_.read(); }

 private:
  IcmpPinger pinger_;
  InterfaceCounterReader counters_;
};

}  // namespace

std::unique_ptr<MonitorProbe> makeLinuxMonitorProbe() { return std::make_unique<LinuxMonitorProbe>(); }

}  // namespace rivulo
