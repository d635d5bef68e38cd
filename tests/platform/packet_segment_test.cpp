// Checksums and cutting of the packets the driver re-sends; no root needed.
#include "platform/linux/packet_segment.h"

#include <gtest/gtest.h>

#include <vector>

namespace rivulo {
namespace {

uint32_t sum16(const uint8_t* p, size_t n, uint32_t s = 0) {
  for (size_t i = 0; i + 1 < n; i += 2) s += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
  if (n & 1) s += static_cast<uint32_t>(p[n - 1] << 8);
  while (s >> 16) s = (s & 0xffff) + (s >> 16);
  return s;
}

// True when the transport checksum of an IPv4 or IPv6 packet verifies.
bool transportChecksumOk(const std::vector<uint8_t>& p) {
  const bool v4 = (p[0] >> 4) == 4;
  const size_t l4 = v4 ? (p[0] & 0x0f) * 4 : 40;
  const uint8_t proto = v4 ? p[9] : p[6];
  const size_t len = p.size() - l4;
  uint32_t s = v4 ? sum16(&p[12], 8) : sum16(&p[8], 32);
  s += proto + static_cast<uint32_t>(len);
  return sum16(&p[l4], len, s) == 0xffff;
}

std::vector<uint8_t> tcpPacket(bool v6, size_t payload, uint8_t flags) {
  const size_t ip = v6 ? 40 : 20;
  std::vector<uint8_t> p(ip + 20 + payload, 0);
  if (v6) {
    p[0] = 0x60;
    p[4] = static_cast<uint8_t>((20 + payload) >> 8);
    p[5] = static_cast<uint8_t>(20 + payload);
    p[6] = 6;
    p[7] = 64;
    p[8] = 0xfd, p[23] = 1, p[24] = 0xfd, p[39] = 2;
  } else {
    p[0] = 0x45;
    p[2] = static_cast<uint8_t>(p.size() >> 8);
    p[3] = static_cast<uint8_t>(p.size());
    p[4] = 0x12, p[5] = 0x34;
    p[6] = 0x40;  // DF
    p[8] = 64, p[9] = 6;
    p[12] = 10, p[15] = 1, p[16] = 10, p[19] = 2;
  }
  uint8_t* t = &p[ip];
  t[0] = 0x9c, t[1] = 0x40, t[2] = 0x14, t[3] = 0x51;  // ports
  t[4] = 0x10, t[5] = 0x20, t[6] = 0x30, t[7] = 0x40;  // seq
  t[12] = 5 << 4;
  t[13] = flags;
  t[14] = 0xff;
  for (size_t i = 0; i < payload; ++i) p[ip + 20 + i] = static_cast<uint8_t>(i * 7 + 3);
  return p;
}

TEST(PacketSegment, Ipv4HeaderChecksumMatchesAKnownValue) {
  // The textbook IPv4 header (UDP, 192.168.0.1 -> 192.168.0.199, checksum
  // b861 at total length 115), here with total length 28.
  std::vector<uint8_t> p = {0x45, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11, 0x00, 0x00, 0xc0, 0xa8,
                            0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7, 0x12, 0x34, 0x00, 0x35, 0x00, 0x08, 0x00, 0x00};
  ASSERT_TRUE(completeChecksum(p.data(), p.size()));
  EXPECT_EQ(p[10] << 8 | p[11], 0xb8b8);  // b861 with total length 28 instead of 115
  EXPECT_TRUE(transportChecksumOk(p));
}

TEST(PacketSegment, CompletesTransportChecksumsOfBothFamilies) {
  for (bool v6 : {false, true}) {
    auto p = tcpPacket(v6, 333, 0x18);
    p[(v6 ? 40 : 20) + 16] = 0xab;  // what a card would have had to finish
    EXPECT_FALSE(transportChecksumOk(p));
    ASSERT_TRUE(completeChecksum(p.data(), p.size()));
    EXPECT_TRUE(transportChecksumOk(p)) << (v6 ? "IPv6" : "IPv4");
  }
  std::vector<uint8_t> tooShort = {0x45, 0, 0, 10};
  EXPECT_FALSE(completeChecksum(tooShort.data(), tooShort.size()));
}

TEST(PacketSegment, CutsLargeTcpSegmentsLikeTheKernel) {
  for (bool v6 : {false, true}) {
    const size_t ip = v6 ? 40 : 20;
    const size_t mss = 1500 - ip - 20;
    auto big = tcpPacket(v6, 2 * mss + 80, 0x80 | 0x18 | 0x01);  // CWR, PSH+ACK, FIN
    std::vector<std::vector<uint8_t>> pieces;
    ASSERT_TRUE(forEachSegment(big.data(), big.size(), 1500, true, [&](const uint8_t* d, size_t n) {
      pieces.emplace_back(d, d + n);
      return true;
    }));
    ASSERT_EQ(pieces.size(), 3u);
    uint32_t seq = 0x10203040;
    size_t offset = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
      const auto& s = pieces[i];
      const size_t payload = s.size() - ip - 20;
      EXPECT_EQ(payload, i < 2 ? mss : 80u);
      EXPECT_LE(s.size(), 1500u);
      const uint32_t got = static_cast<uint32_t>(s[ip + 4] << 24 | s[ip + 5] << 16 | s[ip + 6] << 8 | s[ip + 7]);
      EXPECT_EQ(got, seq + offset);
      const uint8_t flags = s[ip + 13];
      EXPECT_EQ((flags & 0x80) != 0, i == 0) << "CWR only on the first";
      EXPECT_EQ((flags & 0x09) != 0, i == 2) << "FIN/PSH only on the last";
      EXPECT_EQ(flags & 0x10, 0x10);
      const size_t ipLength = v6 ? 40u + (s[4] << 8 | s[5]) : static_cast<size_t>(s[2] << 8 | s[3]);
      EXPECT_EQ(ipLength, s.size());
      EXPECT_TRUE(transportChecksumOk(s));
      EXPECT_TRUE(std::equal(s.begin() + ip + 20, s.end(), big.begin() + ip + 20 + offset));
      if (!v6) {
        EXPECT_EQ(sum16(s.data(), 20), 0xffffu) << "IPv4 header checksum";
      }
      offset += payload;
    }
  }
}

TEST(PacketSegment, LeavesWhatFitsOrCannotBeCutWhole) {
  auto small = tcpPacket(false, 100, 0x10);
  auto udp = small;
  udp[9] = 17;
  udp.resize(3000, 0);
  int calls = 0;
  for (auto* p : {&small, &udp}) {
    calls = 0;
    forEachSegment(p->data(), p->size(), 1500, false, [&](const uint8_t* d, size_t n) {
      ++calls;
      EXPECT_EQ(n, p->size());
      EXPECT_EQ(d, p->data());
      return true;
    });
    EXPECT_EQ(calls, 1);
  }
}

}  // namespace
}  // namespace rivulo
