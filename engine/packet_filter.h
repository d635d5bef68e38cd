#pragma once
// The packet filter language: which packets the engine diverts.
//
// The text keeps the dialect users already type ("tcp and tcp.DstPort == 443",
// "ip.DstAddr == 10.0.0.2 or ipv6", "not loopback"). It is compiled once, when
// the engine starts, into a flat program over a single boolean; evaluating it
// for one packet walks that program once, reads the packet's headers at most
// once and never allocates, so it can run on the capture thread per packet.
//
// Grammar (keywords and field names are case-insensitive):
//   filter  := or
//   or      := and { ("or" | "||") and }
//   and     := unary { ("and" | "&&") unary }
//   unary   := ("not" | "!") unary | "(" or ")" | test
//   test    := value [ ("==" | "=" | "!=" | "<" | "<=" | ">" | ">=") value ]
//   value   := field | number | IPv4 literal | IPv6 literal | "true" | "false"
// A value alone means "is non-zero". A comparison that reads a field of a
// protocol the packet does not carry is false (so "tcp.DstPort != 80" does not
// match a UDP packet, while "not tcp.DstPort == 80" does).
#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rivulo {

// An unsigned 128-bit value, wide enough for IPv6 addresses; ordered as a number.
struct FilterValue {
  uint64_t high = 0;
  uint64_t low = 0;
  auto operator<=>(const FilterValue&) const = default;
};

// The six filters the top bar offers; a driver that cannot run the general
// language can still express these directly.
enum class SimpleFilter : int32_t {
  None = 0,   // anything else
  True,       // "true"
  Tcp,        // "tcp"
  Udp,        // "udp"
  IpOrIpv6,   // "ip or ipv6"
  Inbound,    // "inbound"
  Outbound,   // "outbound"
};

// The filter text of a choice: "true", "tcp", "udp", "ip or ipv6", "inbound",
// "outbound", or "" for None.
const char* simpleFilterText(SimpleFilter choice);

class PacketFilter {
 public:
  // Everything that can be read from a packet, plus a constant.
  enum class Field : uint8_t {
    Constant,
    Inbound, Outbound, Loopback,
    Ip, Ipv6, Icmp, Icmpv6, Tcp, Udp,
    IpSrcAddr, IpDstAddr, IpProtocol, IpTtl, IpLength,
    Ipv6SrcAddr, Ipv6DstAddr, Ipv6NextHdr, Ipv6HopLimit,
    IcmpType, IcmpCode, Icmpv6Type, Icmpv6Code,
    TcpSrcPort, TcpDstPort, TcpSyn, TcpAck, TcpFin, TcpRst, TcpPsh, TcpUrg, TcpPayloadLength,
    UdpSrcPort, UdpDstPort, UdpPayloadLength,
  };
  enum class Compare : uint8_t { NonZero, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

  // Matches every packet, like the text "true".
  PacketFilter();

  // Compiles `text`. On failure ok() is false and error() says where and what
  // was expected, e.g. `at 7: expected a field, a number or "("` (positions
  // count characters from 1); such a filter matches nothing.
  static PacketFilter parse(std::string_view text);

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // 1-based character position of the error, 0 when there is none.
  size_t errorPosition() const { return errorPosition_; }

  // Decides for one raw IPv4 or IPv6 packet (starting at the IP header) that
  // leaves the machine (`outbound`) or arrives, on the loopback interface or
  // not. Never reads outside [packet, packet + length).
  bool matches(const uint8_t* packet, size_t length, bool outbound, bool loopback) const;

  // True when the text reads the `loopback` field anywhere.
  bool mentionsLoopback() const { return mentionsLoopback_; }
  // Which of the top bar's six filters the text is exactly (blanks, letter
  // case and "||" for "or" aside), or None.
  SimpleFilter simpleChoice() const { return simpleChoice_; }

  // One operand of a test.
  struct Operand {
    Field field = Field::Constant;
    FilterValue constant;
  };
  // One step of the compiled program, acting on one boolean `result`.
  struct Step {
    enum class Kind : uint8_t { Test, Not, JumpIfFalse, JumpIfTrue };
    Kind kind = Kind::Test;
    Compare compare = Compare::NonZero;
    uint32_t target = 0;  // for the jumps: index of the step to continue at
    Operand left;
    Operand right;
  };

 private:
  friend class FilterParser;
  std::vector<Step> program_;
  std::string error_;
  size_t errorPosition_ = 0;
  bool mentionsLoopback_ = false;
  SimpleFilter simpleChoice_ = SimpleFilter::True;
};

}  // namespace rivulo
