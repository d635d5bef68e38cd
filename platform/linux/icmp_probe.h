#pragma once
// Name resolution and ICMP echo for the network monitor, and the Linux
// MonitorProbe that combines them with the interface counters.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "monitor/monitor_probe.h"

namespace rivulo {

// getaddrinfo for IPv4 only; the first address wins.
ResolveResult resolveIpv4(const std::string& target);

// The text of an ICMP error reply as the monitor reports it: "ICMP status "
// followed by the IP Helper status number of that error and its meaning.
std::string icmpErrorText(int type, int code);

// Internet checksum (RFC 1071) of `length` bytes.
uint16_t internetChecksum(const void* data, size_t length);

// One ICMP echo socket for the probe's life. It prefers the unprivileged
// datagram socket (allowed by net.ipv4.ping_group_range) and falls back to a
// raw socket, which needs CAP_NET_RAW. The socket belongs to the network
// namespace of the thread that creates the pinger.
class IcmpPinger {
 public:
  IcmpPinger();
  ~IcmpPinger();
  IcmpPinger(const IcmpPinger&) = delete;
  IcmpPinger& operator=(const IcmpPinger&) = delete;

  bool available() const { return fd_ >= 0; }
  bool isRaw() const { return raw_; }
  // One echo request carrying "Rivulo" and its NUL. Waits in short slices so
  // that `stop` ends the wait at once.
  PingResult ping(uint32_t address, uint32_t timeoutMs, const std::atomic<bool>& stop);

 private:
  int fd_ = -1;
  bool raw_ = false;
  uint16_t identifier_ = 0;
  uint16_t sequence_ = 0;
};

// The probe the editor's monitor uses on Linux. All its sockets are opened
// at construction, so they stay in the network namespace it was made in.
std::unique_ptr<MonitorProbe> makeLinuxMonitorProbe();

}  // namespace rivulo
