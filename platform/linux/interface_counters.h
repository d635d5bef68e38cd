#pragma once
// Packet counters of the network interfaces from rtnetlink.
#include <cstdint>
#include <vector>

#include "monitor/monitor_probe.h"

namespace rivulo {

// What the counting needs to know about one link.
struct LinkCounters {
  unsigned short type = 0;  // ARPHRD_*
  unsigned int flags = 0;   // IFF_*
  uint64_t rxPackets = 0;
  uint64_t txPackets = 0;
};

// Links that are up and running count, except loopback and tunnels (IP-in-IP,
// GRE, SIT, IPv6 tunnels, and the header-less tun devices): their packets are
// counted again on the real interface they travel over.
bool linkIsCounted(const LinkCounters& link);
InterfaceCounters sumLinks(const std::vector<LinkCounters>& links);

// An rtnetlink socket opened once; it reads the links of the network
// namespace it was opened in, whatever namespace the caller is in later.
// (/sys/class/net would show the namespace sysfs was mounted in instead.)
class InterfaceCounterReader {
 public:
  InterfaceCounterReader();
  ~InterfaceCounterReader();
  InterfaceCounterReader(const InterfaceCounterReader&) = delete;
  InterfaceCounterReader& operator=(const InterfaceCounterReader&) = delete;

  // Dumps every link (RTM_GETLINK) and sums the counted ones; ok = false when
  // the dump could not be read.
  InterfaceCounters read();
  bool readLinks(std::vector<LinkCounters>& links);

 private:
  int fd_ = -1;
  uint32_t sequence_ = 0;
};

}  // namespace rivulo
