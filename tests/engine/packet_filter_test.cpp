#include "engine/packet_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace rivulo {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

Bytes tcpHeader(uint16_t src, uint16_t dst, uint8_t flags, size_t payload) {
  Bytes b(20 + payload, 0xAB);
  put16(b, 0, src);
  put16(b, 2, dst);
  b[12] = 5 << 4;
  b[13] = flags;
  return b;
}
Bytes udpHeader(uint16_t src, uint16_t dst, size_t payload) {
  Bytes b(8 + payload, 0xCD);
  put16(b, 0, src);
  put16(b, 2, dst);
  put16(b, 4, static_cast<uint16_t>(8 + payload));
  return b;
}
Bytes icmpEcho() { return Bytes{8, 0, 0, 0, 0, 1, 0, 1}; }

Bytes ipv4(uint8_t protocol, uint32_t src, uint32_t dst, const Bytes& l4, uint8_t ttl = 64) {
  Bytes b(20, 0);
  b[0] = 0x45;
  put16(b, 2, static_cast<uint16_t>(20 + l4.size()));
  b[8] = ttl;
  b[9] = protocol;
  for (int k = 0; k < 4; ++k) {
    b[12 + k] = static_cast<uint8_t>(src >> (24 - 8 * k));
    b[16 + k] = static_cast<uint8_t>(dst >> (24 - 8 * k));
  }
  b.insert(b.end(), l4.begin(), l4.end());
  return b;
}

// `extensions` are (header type, whole bytes) pairs placed before `l4`.
Bytes ipv6(uint8_t protocol, uint8_t srcLast, uint8_t dstLast, const Bytes& l4, const std::vector<Bytes>& extensions = {},
           const std::vector<uint8_t>& extensionTypes = {}) {
  Bytes b(40, 0);
  b[0] = 0x60;
  b[6] = extensionTypes.empty() ? protocol : extensionTypes[0];
  b[7] = 64;
  b[8] = 0x20, b[9] = 0x01, b[10] = 0x0d, b[11] = 0xb8;  // 2001:db8::srcLast
  b[23] = srcLast;
  b[39] = dstLast;  // ::dstLast
  for (size_t k = 0; k < extensions.size(); ++k) {
    Bytes e = extensions[k];
    e[0] = k + 1 < extensionTypes.size() ? extensionTypes[k + 1] : protocol;
    b.insert(b.end(), e.begin(), e.end());
  }
  b.insert(b.end(), l4.begin(), l4.end());
  put16(b, 4, static_cast<uint16_t>(b.size() - 40));
  return b;
}
Bytes hopByHop() { return Bytes(8, 0); }
Bytes fragment(uint16_t offset) {
  Bytes e(8, 0);
  put16(e, 2, static_cast<uint16_t>(offset << 3));
  return e;
}

constexpr uint8_t kSyn = 0x02, kAck = 0x10;

const Bytes& tcp4() {
  static const Bytes p = ipv4(6, 0x0A000001, 0x0A000002, tcpHeader(5000, 443, kSyn, 10));
  return p;
}
const Bytes& udp4() {
  static const Bytes p = ipv4(17, 0xC0A80105, 0x7F000001, udpHeader(53000, 53, 20), 1);
  return p;
}
const Bytes& icmp4() {
  static const Bytes p = ipv4(1, 0x0A000001, 0x0A000002, icmpEcho());
  return p;
}
const Bytes& tcp6() {
  static const Bytes p = ipv6(6, 1, 1, tcpHeader(40000, 443, kAck, 0), {hopByHop()}, {0});
  return p;
}
const Bytes& udp6FirstFragment() {
  static const Bytes p = ipv6(17, 2, 1, udpHeader(1234, 5353, 4), {fragment(0)}, {44});
  return p;
}
const Bytes& udp6LaterFragment() {
  static const Bytes p = ipv6(17, 2, 1, udpHeader(1234, 5353, 4), {fragment(100)}, {44});
  return p;
}
const Bytes& icmp6() {
  static const Bytes p = ipv6(58, 1, 1, Bytes{128, 0, 0, 0, 0, 1, 0, 1});
  return p;
}
// The IP header names TCP but only 10 bytes of it arrived.
const Bytes& truncatedTcp4() {
  static const Bytes p = [] {
    Bytes b = ipv4(6, 0x0A000001, 0x0A000002, tcpHeader(5000, 443, kSyn, 0));
    b.resize(30);
    return b;
  }();
  return p;
}

// Offloaded segments beyond 64 KiB carry a total length of 0.
const Bytes& bigTcp4() {
  static const Bytes p = [] {
    Bytes b = ipv4(6, 0x0A000001, 0x0A000002, tcpHeader(5000, 443, kAck, 100));
    put16(b, 2, 0);
    return b;
  }();
  return p;
}

TEST(PacketFilter, AcceptsTheLanguageAndRejectsWithPositionAndExpectation) {
  struct Case {
    std::string text;
    std::string error;  // empty: accepted
  };
  const std::string deep = std::string(70, '(') + "tcp" + std::string(70, ')');
  const Case cases[] = {
      {"true", ""},
      {"ip or ipv6", ""},
      {"tcp and tcp.DstPort == 443 or udp", ""},
      {"TCP.dstport==0x1BB && !(udp || icmp or icmpv6)", ""},
      {"not loopback and inbound", ""},
      {"ip.DstAddr = 10.0.0.2 and ip.TTL <= 64 and ip.Length > 40 and ip.Protocol != 17", ""},
      {"ipv6.SrcAddr == ::1 or ipv6.DstAddr >= 2001:db8::ff00:42:8329 or ipv6.DstAddr < ::ffff:192.0.2.1", ""},
      {"tcp.Syn and not tcp.Ack or tcp.Fin or tcp.Rst or tcp.PayloadLength", ""},
      {"udp.SrcPort >= 1024 and udp.DstPort < 2000 and udp.PayloadLength > 0 and 443 == 443", ""},
      {std::string(60, '(') + "tcp" + std::string(60, ')'), ""},
      {"", "at 1: expected a field, a number or \"(\""},
      {"   ", "at 4: expected a field, a number or \"(\""},
      {"tcp and", "at 8: expected a field, a number or \"(\""},
      {"and tcp", "at 1: expected a field, a number or \"(\""},
      {"not", "at 4: expected a field, a number or \"(\""},
      {"tcp.DstPort ==", "at 15: expected a field or a number"},
      {"tcp.DstPort == (443)", "at 16: expected a field or a number"},
      {"(tcp or udp", "at 12: expected \"and\", \"or\" or \")\""},
      {"tcp udp", "at 5: expected \"and\", \"or\" or the end of the filter"},
      {"tcp)", "at 4: expected \"and\", \"or\" or the end of the filter"},
      {"tcp.Port == 80", "at 1: unknown field \"tcp.Port\""},
      {"ip.DstAddr == 10.0.0.256", "at 15: expected an IPv4 address (four numbers 0-255 joined by dots)"},
      {"ip.DstAddr == 10.0.1", "at 15: expected an IPv4 address (four numbers 0-255 joined by dots)"},
      {"ipv6.SrcAddr == 1::2::3", "at 17: expected an IPv6 address"},
      {"ipv6.SrcAddr == 1:2:3:4:5:6:7", "at 17: expected an IPv6 address"},
      {"tcp.DstPort == 0x", "at 16: expected a hexadecimal number of at most 32 digits"},
      {"udp.DstPort == 340282366920938463463374607431768211456", "at 16: number too large"},
      {"udp.DstPort == 443abc", "at 16: expected a number"},
      {"tcp $ udp", "at 5: unexpected character \"$\""},
      {"tcp & udp", "at 5: unexpected character \"&\""},
      {"tcp and \xC3\xA9", "at 9: unexpected character 0xC3"},
      // A grammar error before a bad character is the one reported.
      {"tcp tcp $", "at 5: expected \"and\", \"or\" or the end of the filter"},
      {deep, "at 65: the filter is nested too deeply"},
  };
  for (const Case& c : cases) {
    const PacketFilter f = PacketFilter::parse(c.text);
    EXPECT_EQ(f.error(), c.error) << c.text;
    EXPECT_EQ(f.ok(), c.error.empty()) << c.text;
    if (!f.ok()) {
      EXPECT_FALSE(f.matches(tcp4().data(), tcp4().size(), true, false)) << "a rejected filter matches nothing";
    }
  }
}

TEST(PacketFilter, RecognisesTheTopBarChoicesExactly) {
  const std::pair<const char*, SimpleFilter> cases[] = {
      {"true", SimpleFilter::True},        {" TCP ", SimpleFilter::Tcp},
      {"udp", SimpleFilter::Udp},          {"ip or ipv6", SimpleFilter::IpOrIpv6},
      {"IP || IPv6", SimpleFilter::IpOrIpv6}, {"inbound", SimpleFilter::Inbound},
      {"outbound", SimpleFilter::Outbound}, {"ipv6 or ip", SimpleFilter::None},
      {"(tcp)", SimpleFilter::None},       {"tcp and true", SimpleFilter::None},
      {"ip", SimpleFilter::None},          {"tcp or", SimpleFilter::None},
  };
  for (const auto& [text, choice] : cases) EXPECT_EQ(PacketFilter::parse(text).simpleChoice(), choice) << text;
  // Each choice's own text parses back to that choice.
  for (SimpleFilter c : {SimpleFilter::True, SimpleFilter::Tcp, SimpleFilter::Udp, SimpleFilter::IpOrIpv6,
                         SimpleFilter::Inbound, SimpleFilter::Outbound}) {
    EXPECT_EQ(PacketFilter::parse(simpleFilterText(c)).simpleChoice(), c) << simpleFilterText(c);
  }
  EXPECT_STREQ(simpleFilterText(SimpleFilter::None), "");
  EXPECT_EQ(PacketFilter().simpleChoice(), SimpleFilter::True);

  EXPECT_TRUE(PacketFilter::parse("tcp or not LoopBack").mentionsLoopback());
  EXPECT_FALSE(PacketFilter::parse("tcp or inbound").mentionsLoopback());
}

TEST(PacketFilter, DecidesForHandBuiltPackets) {
  struct Case {
    const char* filter;
    const Bytes* packet;
    bool outbound;
    bool loopback;
    bool match;
  };
  const Case cases[] = {
      {"true", &tcp4(), false, false, true},
      {"false", &tcp4(), false, false, false},
      {"inbound", &tcp4(), false, false, true},
      {"inbound", &tcp4(), true, false, false},
      {"outbound and loopback", &udp4(), true, true, true},
      {"not loopback", &udp4(), true, true, false},
      // Protocols, both IP versions, extension headers walked.
      {"ip and tcp and not ipv6", &tcp4(), true, false, true},
      {"ipv6 and tcp", &tcp6(), true, false, true},
      {"udp", &udp6FirstFragment(), true, false, true},
      {"udp or tcp", &udp6LaterFragment(), true, false, false},
      {"ipv6", &udp6LaterFragment(), true, false, true},
      {"icmp and not icmpv6", &icmp4(), true, false, true},
      {"icmpv6 and not icmp", &icmp6(), true, false, true},
      {"icmp.Type == 8 and icmp.Code == 0", &icmp4(), true, false, true},
      {"icmpv6.Type == 128", &icmp6(), true, false, true},
      // Precedence: not > and > or.
      {"tcp and tcp.DstPort == 443 or udp", &udp4(), true, false, true},
      {"udp or tcp and tcp.DstPort == 80", &tcp4(), true, false, false},
      {"(udp or tcp) and tcp.DstPort == 443", &tcp4(), true, false, true},
      {"not tcp and udp", &tcp4(), true, false, false},
      {"not (tcp and udp)", &tcp4(), true, false, true},
      {"!!tcp", &tcp4(), true, false, true},
      // Fields and numbers.
      {"tcp.SrcPort == 5000 and tcp.DstPort == 0x1bb", &tcp4(), true, false, true},
      {"tcp.Syn and !tcp.Ack and !tcp.Fin and !tcp.Rst", &tcp4(), true, false, true},
      {"tcp.Ack and not tcp.Syn", &tcp6(), true, false, true},
      {"tcp.PayloadLength == 10", &tcp4(), true, false, true},
      {"tcp.PayloadLength", &tcp6(), true, false, false},
      {"udp.PayloadLength == 20 and udp.SrcPort > 50000 and udp.DstPort <= 53", &udp4(), true, false, true},
      {"udp.PayloadLength == 4 and udp.DstPort == 5353", &udp6FirstFragment(), true, false, true},
      {"ip.SrcAddr == 10.0.0.1 and ip.DstAddr == 10.0.0.2", &tcp4(), true, false, true},
      {"ip.DstAddr >= 127.0.0.0 and ip.DstAddr <= 127.255.255.255", &udp4(), true, false, true},
      {"ip.TTL == 1 and ip.Protocol == 17 and ip.Length == 48", &udp4(), true, false, true},
      {"ipv6.SrcAddr == 2001:db8::1 and ipv6.DstAddr == ::1", &tcp6(), true, false, true},
      {"ipv6.SrcAddr == 2001:DB8:0:0:0:0:0:2", &udp6FirstFragment(), true, false, true},
      {"ipv6.DstAddr > ::", &icmp6(), true, false, true},
      {"ipv6.NextHdr == 0 and ipv6.HopLimit == 64", &tcp6(), true, false, true},
      // A field of a protocol the packet does not carry makes its comparison false.
      {"tcp.DstPort != 80", &udp4(), true, false, false},
      {"not tcp.DstPort == 80", &udp4(), true, false, true},
      {"ip.TTL > 0", &tcp6(), true, false, false},
      {"ipv6.SrcAddr != ::1", &tcp4(), true, false, false},
      {"tcp.SrcPort == udp.SrcPort", &udp4(), true, false, false},
      // Truncated transport: the IP header is still read, the TCP one is not.
      {"ip and ip.Protocol == 6", &truncatedTcp4(), true, false, true},
      {"tcp or tcp.DstPort == 443", &truncatedTcp4(), true, false, false},
      {"tcp.PayloadLength == 100 and ip.Length == 0", &bigTcp4(), true, false, true},
  };
  for (const Case& c : cases) {
    const PacketFilter f = PacketFilter::parse(c.filter);
    ASSERT_TRUE(f.ok()) << c.filter << ": " << f.error();
    EXPECT_EQ(f.matches(c.packet->data(), c.packet->size(), c.outbound, c.loopback), c.match) << c.filter;
  }
}

// Every prefix of every packet, and every single-byte corruption of the
// headers, in a buffer of exactly that size so that the sanitizer sees any
// read past its end.
TEST(PacketFilter, TruncatedAndDamagedPacketsStayInBounds) {
  const PacketFilter filters[] = {
      PacketFilter::parse("tcp.PayloadLength > 0 or tcp.SrcPort or tcp.Rst or udp.PayloadLength or udp.DstPort"),
      PacketFilter::parse("ip.Length or ip.SrcAddr or ipv6.DstAddr or icmp.Code or icmpv6.Type or ipv6.HopLimit"),
  };
  const Bytes* packets[] = {&tcp4(), &udp4(), &icmp4(), &tcp6(), &udp6FirstFragment(), &icmp6()};
  auto run = [&](const Bytes& bytes, size_t length) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[length == 0 ? 1 : length]);
    if (length > 0) std::memcpy(exact.get(), bytes.data(), length);
    for (const PacketFilter& f : filters) (void)f.matches(exact.get(), length, true, false);
  };
  for (const Bytes* p : packets) {
    for (size_t length = 0; length <= p->size(); ++length) run(*p, length);
    for (size_t at = 0; at < 60 && at < p->size(); ++at) {
      for (int value : {0x00, 0x0F, 0x45, 0x60, 0x80, 0xFF}) {
        Bytes damaged = *p;
        damaged[at] = static_cast<uint8_t>(value);
        run(damaged, damaged.size());
      }
    }
  }
  // A header length or payload length claiming more than arrived is not a TCP packet.
  Bytes lying = tcp4();
  lying[32] = 0xF0;  // TCP data offset 60 bytes, only 30 present
  EXPECT_FALSE(PacketFilter::parse("tcp").matches(lying.data(), lying.size(), true, false));
  EXPECT_TRUE(PacketFilter::parse("ip").matches(lying.data(), lying.size(), true, false));
  EXPECT_FALSE(PacketFilter::parse("tcp").matches(nullptr, 0, true, false));
  EXPECT_TRUE(PacketFilter::parse("outbound").matches(nullptr, 0, true, false));
}

}  // namespace
}  // namespace rivulo
