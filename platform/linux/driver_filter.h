#pragma once
// The filter as the Linux drivers use it: which part the kernel rules can
// select by themselves, whether loopback traffic is wanted, and the per-packet
// decision for everything else.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/packet_driver.h"

namespace rivulo {

class DriverFilter {
 public:
  DriverFilter();
  ~DriverFilter();
  DriverFilter(DriverFilter&&) noexcept;
  DriverFilter& operator=(DriverFilter&&) noexcept;

  // FilterRejected with the parser's message when the text does not parse.
  DriverError compile(const std::string& text);

  // One of "true", "tcp", "udp", "ip or ipv6", "inbound", "outbound" when the
  // whole filter is that choice (the rules then select exactly), else "".
  const std::string& simpleChoice() const { return simple_; }
  bool mentionsLoopback() const { return loopback_; }
  bool matches(const uint8_t* packet, size_t length, bool outbound, bool loopback) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string simple_;
  bool loopback_ = false;
};

}  // namespace rivulo
