#pragma once
// The iptables / ip6tables rules that send this namespace's packets to our
// NFQUEUE queue. They live in two chains of our own in the mangle table,
// hooked from PREROUTING (arriving) and OUTPUT (leaving), so that removing
// them never touches anyone else's rules. Packets carrying our mark (our own
// re-sends and copies) skip the queue; --queue-bypass lets traffic flow while
// no program is bound to the queue (stopped, crashed, killed).
#include <cstdint>
#include <string>
#include <vector>

#include "engine/packet_driver.h"

namespace rivulo {

inline constexpr const char* kInboundChain = "RIVULO_IN";
inline constexpr const char* kOutboundChain = "RIVULO_OUT";

// What the rules themselves select; everything else never reaches us.
struct RulePlan {
  uint16_t queueNumber = 0;
  uint32_t mark = 0;
  bool includeLoopback = false;
  bool inbound = true;      // hook PREROUTING
  bool outbound = true;     // hook OUTPUT
  std::string protocol;     // "", "tcp" or "udp"
};

// Result of running one external program.
struct CommandResult {
  int exitCode = -1;     // -1: could not be started (startErrno says why)
  int startErrno = 0;
  std::string output;    // stdout and stderr together
};

CommandResult runCommand(const std::vector<std::string>& argv, const std::string& input);

// The iptables-restore input that installs the plan for one family.
std::string installScript(const RulePlan& plan, bool ipv6);
// The iptables-restore input that removes exactly what installScript added.
std::string removeScript(const RulePlan& plan);
// Builds a removal script for whatever of our chains `iptables -S` shows
// (a previous run that died), or "" when there is nothing of ours.
std::string staleRemovalScript(const std::string& listing);

// Installed rules, removed by the destructor. Also registers the removal with
// a process-wide emergency hook so that SIGINT/SIGTERM/SIGHUP and exit()
// remove them even when the owner never gets to run its destructor.
class InstalledRules {
 public:
  InstalledRules() = default;
  ~InstalledRules();
  InstalledRules(const InstalledRules&) = delete;
  InstalledRules& operator=(const InstalledRules&) = delete;

  // Removes leftovers of a dead run, then installs the plan for IPv4 and, when
  // the system has IPv6 netfilter, for IPv6. Atomic per family.
  DriverError install(const RulePlan& plan);
  void remove();
  bool installed() const { return v4_ || v6_; }
  bool hasIpv6() const { return v6_; }

 private:
  RulePlan plan_;
  bool v4_ = false;
  bool v6_ = false;
};

// Removes any chains of ours left in this namespace's tables. Returns true
// when something was found and removed.
bool removeStaleRules();

// True when no rule or chain of ours is present (for tests and diagnostics).
bool ourRulesPresent();

}  // namespace rivulo
