// Random packet bytes against a few fixed filters: decoding must never read
// outside the packet, whatever its lengths and header fields claim.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/packet_filter.h"

namespace {

const std::vector<rivulo::PacketFilter>& filters() {
  static const std::vector<rivulo::PacketFilter> all = [] {
    std::vector<rivulo::PacketFilter> f;
    for (const char* text : {
             "tcp and tcp.DstPort == 443 or udp",
             "tcp.PayloadLength > 0 or tcp.Syn or tcp.Ack or tcp.Fin or tcp.Rst or tcp.SrcPort == 22",
             "udp.PayloadLength or udp.SrcPort == 53 or udp.DstPort != 0",
             "ip.SrcAddr == 10.0.0.1 or ip.DstAddr >= 127.0.0.1 or ip.TTL < 5 or ip.Length > 1500 or ip.Protocol",
             "ipv6.SrcAddr == ::1 or ipv6.DstAddr != fe80::1 or ipv6.NextHdr or ipv6.HopLimit",
             "icmp.Type == 8 or icmp.Code or icmpv6.Type == 128 or icmpv6.Code",
             "not loopback and (inbound or outbound) and (ip or ipv6)",
         }) {
      f.push_back(rivulo::PacketFilter::parse(text));
      if (!f.back().ok()) __builtin_trap();
    }
    return f;
  }();
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the direction and interface, the rest is the packet,
  // copied into a buffer of exactly its size so any over-read is caught.
  const bool outbound = (data[0] & 1) != 0;
  const bool loopback = (data[0] & 2) != 0;
  const size_t length = size - 1;
  std::unique_ptr<uint8_t[]> packet(new uint8_t[length == 0 ? 1 : length]);
  for (size_t k = 0; k < length; ++k) packet[k] = data[k + 1];
  for (const rivulo::PacketFilter& f : filters()) (void)f.matches(packet.get(), length, outbound, loopback);
  return 0;
}
