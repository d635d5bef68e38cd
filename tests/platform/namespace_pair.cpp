#include "tests/platform/namespace_pair.h"

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <sstream>

namespace rivulo::test {

std::string namespaceSkipReason() {
  if (geteuid() != 0) return "needs root to create network namespaces and install netfilter rules";
  if (runCommand("command -v ip && command -v iptables-restore && command -v ping").exitCode != 0)
    return "needs iproute2, iptables and ping";
  return {};
}

namespace {

// Namespaces of test runs that died (their pid is gone) are deleted first,
// so a crashed run never leaves a namespace behind for the next one.
void removeOrphans() {
  CommandResult list = runCommand("ip netns list");
  std::istringstream in(list.output);
  std::string line;
  while (std::getline(in, line)) {
    std::string name = line.substr(0, line.find(' '));
    if (name.rfind("rvt", 0) != 0) continue;
    size_t dash = name.find('-');
    if (dash == std::string::npos) continue;
    int pid = std::atoi(name.c_str() + 3);
    if (pid > 0 && ::kill(pid, 0) != 0) runCommand("ip netns del " + name);
  }
}

std::atomic<int> gSerial{0};

}  // namespace

NamespacePair::NamespacePair() {
  removeOrphans();
  const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(gSerial++);
  a_ = "rvt" + tag + "a";
  b_ = "rvt" + tag + "b";
  const std::string vethA = "rva" + tag, vethB = "rvb" + tag;  // at most 15 characters
  std::ostringstream s;
  s << "set -e; ip netns add " << a_ << "; ip netns add " << b_ << "; "
    << "ip -n " << a_ << " link add " << vethA << " type veth peer name " << vethB << " netns " << b_ << "; "
    << "ip -n " << a_ << " link set lo up; ip -n " << b_ << " link set lo up; "
    << "ip -n " << a_ << " addr add " << kAddrA << "/24 dev " << vethA << "; "
    << "ip -n " << b_ << " addr add " << kAddrB << "/24 dev " << vethB << "; "
    << "ip -n " << a_ << " addr add " << kAddr6A << "/64 dev " << vethA << " nodad; "
    << "ip -n " << b_ << " addr add " << kAddr6B << "/64 dev " << vethB << " nodad; "
    << "ip -n " << a_ << " link set " << vethA << " up; ip -n " << b_ << " link set " << vethB << " up";
  CommandResult r = runCommand(s.str());
  ok_ = r.exitCode == 0;
  if (!ok_) error_ = r.output;
  // Wait (bounded) until the link carries traffic.
  for (int i = 0; ok_ && i < 50; ++i) {
    if (in(a_, std::string("ping -c1 -W1 -q ") + kAddrB).exitCode == 0) return;
    ::usleep(100000);
  }
  if (ok_) {
    ok_ = false;
    error_ = "the veth link did not come up";
  }
}

NamespacePair::~NamespacePair() {
  runCommand("ip netns pids " + a_ + " | xargs -r kill -9; ip netns pids " + b_ + " | xargs -r kill -9");
  runCommand("ip netns del " + a_);
  runCommand("ip netns del " + b_);
}

CommandResult NamespacePair::in(const std::string& ns, const std::string& command) const {
  return runCommand("ip netns exec " + ns + " sh -c '" + command + "'");
}

PingStats parsePing(const std::string& output) {
  PingStats st;
  size_t p = output.find(" packets transmitted, ");
  if (p != std::string::npos) {
    size_t start = output.rfind('\n', p);
    start = start == std::string::npos ? 0 : start + 1;
    st.transmitted = std::atoi(output.c_str() + start);
    st.received = std::atoi(output.c_str() + p + 22);
    size_t d = output.find("+", p);
    size_t nl = output.find('\n', p);
    if (d != std::string::npos && d < nl && output.find("duplicates", d) < nl) st.duplicates = std::atoi(output.c_str() + d + 1);
  }
  size_t r = output.find("min/avg/max");
  if (r != std::string::npos) {
    size_t eq = output.find("= ", r);
    if (eq != std::string::npos) std::sscanf(output.c_str() + eq + 2, "%lf/%lf/%lf", &st.minMs, &st.avgMs, &st.maxMs);
  }
  return st;
}

}  // namespace rivulo::test
