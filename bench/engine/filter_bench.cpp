// The filter decides for every captured packet on the capture thread.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/packet_filter.h"

namespace rivulo {
namespace {

std::vector<uint8_t> packet(uint8_t version, uint8_t protocol, uint16_t dstPort) {
  const size_t ipLength = version == 4 ? 20 : 40;
  std::vector<uint8_t> p(ipLength + 20 + 64, 0);
  p[0] = version == 4 ? 0x45 : 0x60;
  if (version == 4) {
    p[2] = static_cast<uint8_t>(p.size() >> 8), p[3] = static_cast<uint8_t>(p.size());
    p[9] = protocol;
  } else {
    const size_t payload = p.size() - 40;
    p[4] = static_cast<uint8_t>(payload >> 8), p[5] = static_cast<uint8_t>(payload);
    p[6] = protocol;
  }
  uint8_t* l4 = p.data() + ipLength;
  l4[2] = static_cast<uint8_t>(dstPort >> 8), l4[3] = static_cast<uint8_t>(dstPort);
  if (protocol == 6) l4[12] = 5 << 4;
  if (protocol == 17) l4[5] = 8 + 12;
  return p;
}

void BM_FilterPerPacket(benchmark::State& state) {
  const PacketFilter filter = PacketFilter::parse("tcp and tcp.DstPort == 443 or udp");
  const std::array<std::vector<uint8_t>, 6> packets{packet(4, 6, 443), packet(4, 6, 80),  packet(4, 17, 53),
                                                    packet(4, 1, 0),   packet(6, 6, 443), packet(6, 17, 5353)};
  size_t k = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& p = packets[k];
    k = k + 1 == packets.size() ? 0 : k + 1;
    benchmark::DoNotOptimize(filter.matches(p.data(), p.size(), (k & 1) != 0, false));
  }
}
BENCHMARK(BM_FilterPerPacket)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace rivulo
