#pragma once
// Two network namespaces joined by a veth pair, made for one test and
// deleted with it (also when the test fails). Everything the real packet
// driver does happens inside them; the machine's own namespace is never
// touched.
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/support/run_command.h"

namespace rivulo::test {

// Why namespace tests cannot run here, or "" when they can.
std::string namespaceSkipReason();

class NamespacePair {
 public:
  // a: 10.77.0.1 / fd77::1 on veth "a side"; b: 10.77.0.2 / fd77::2.
  NamespacePair();
  ~NamespacePair();
  NamespacePair(const NamespacePair&) = delete;
  NamespacePair& operator=(const NamespacePair&) = delete;

  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }
  const std::string& a() const { return a_; }
  const std::string& b() const { return b_; }
  static constexpr const char* kAddrA = "10.77.0.1";
  static constexpr const char* kAddrB = "10.77.0.2";
  static constexpr const char* kAddr6A = "fd77::1";
  static constexpr const char* kAddr6B = "fd77::2";

  // Runs a command inside namespace `ns`.
  CommandResult in(const std::string& ns, const std::string& command) const;

 private:
  std::string a_, b_;
  bool ok_ = false;
  std::string error_;
};

// ping statistics parsed from iputils output.
struct PingStats {
  int transmitted = 0;
  int received = 0;
  int duplicates = 0;
  double minMs = 0, avgMs = 0, maxMs = 0;
};
PingStats parsePing(const std::string& output);

}  // namespace rivulo::test
