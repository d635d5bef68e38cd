// Random filter text: the parser must never crash, hang or read past the
// text, must report errors in its one format, and a filter it accepts must be
// safe to run on any packet.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/packet_filter.h"

namespace {

// An IPv4 TCP packet to port 443 and a short IPv6 UDP one.
const uint8_t kTcp4[] = {0x45, 0, 0, 40, 0, 0, 0, 0, 64, 6, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2,
                         0x13, 0x88, 0x01, 0xbb, 0, 0, 0, 0, 0, 0, 0, 0, 0x50, 0x12, 0, 0, 0, 0, 0, 0};
const uint8_t kUdp6[] = {0x60, 0, 0, 0, 0, 8, 17, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         0,    0, 0, 1, 0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                         0x04, 0xd2, 0x14, 0xe9, 0, 8, 0, 0};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const rivulo::PacketFilter filter = rivulo::PacketFilter::parse(text);
  if (filter.ok()) {
    if (filter.errorPosition() != 0) __builtin_trap();
    for (bool outbound : {false, true}) {
      (void)filter.matches(kTcp4, sizeof kTcp4, outbound, false);
      (void)filter.matches(kUdp6, sizeof kUdp6, outbound, true);
      (void)filter.matches(nullptr, 0, outbound, false);
    }
  } else {
    // "at N: ..." with N inside the text or just past its end.
    const std::string& error = filter.error();
    if (error.rfind("at ", 0) != 0) __builtin_trap();
    if (filter.errorPosition() < 1 || filter.errorPosition() > size + 1) __builtin_trap();
    const std::string prefix = "at " + std::to_string(filter.errorPosition()) + ": ";
    if (error.rfind(prefix, 0) != 0 || error.size() == prefix.size()) __builtin_trap();
    if (filter.matches(kTcp4, sizeof kTcp4, true, false)) __builtin_trap();
    if (filter.simpleChoice() != rivulo::SimpleFilter::None || filter.mentionsLoopback()) __builtin_trap();
  }
  return 0;
}
