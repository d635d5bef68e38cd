#include "engine/packet_filter.h"

#include <array>
#include <cstdio>

namespace rivulo {

namespace {

using Field = PacketFilter::Field;
using Compare = PacketFilter::Compare;
using Step = PacketFilter::Step;

// ---------------------------------------------------------------------------
// Words of the language.

struct FieldName {
  const char* name;  // lower case
  Field field;
};

constexpr std::array<FieldName, 36> kFieldNames{{
    {"inbound", Field::Inbound},
    {"outbound", Field::Outbound},
    {"loopback", Field::Loopback},
    {"ip", Field::Ip},
    {"ipv6", Field::Ipv6},
    {"icmp", Field::Icmp},
    {"icmpv6", Field::Icmpv6},
    {"tcp", Field::Tcp},
    {"udp", Field::Udp},
    {"ip.srcaddr", Field::IpSrcAddr},
    {"ip.dstaddr", Field::IpDstAddr},
    {"ip.protocol", Field::IpProtocol},
    {"ip.ttl", Field::IpTtl},
    {"ip.length", Field::IpLength},
    {"ipv6.srcaddr", Field::Ipv6SrcAddr},
    {"ipv6.dstaddr", Field::Ipv6DstAddr},
    {"ipv6.nexthdr", Field::Ipv6NextHdr},
    {"ipv6.hoplimit", Field::Ipv6HopLimit},
    {"icmp.type", Field::IcmpType},
    {"icmp.code", Field::IcmpCode},
    {"icmpv6.type", Field::Icmpv6Type},
    {"icmpv6.code", Field::Icmpv6Code},
    {"tcp.srcport", Field::TcpSrcPort},
    {"tcp.dstport", Field::TcpDstPort},
    {"tcp.syn", Field::TcpSyn},
    {"tcp.ack", Field::TcpAck},
    {"tcp.fin", Field::TcpFin},
    {"tcp.rst", Field::TcpRst},
    {"tcp.psh", Field::TcpPsh},
    {"tcp.urg", Field::TcpUrg},
    {"tcp.payloadlength", Field::TcpPayloadLength},
    {"udp.srcport", Field::UdpSrcPort},
    {"udp.dstport", Field::UdpDstPort},
    {"udp.payloadlength", Field::UdpPayloadLength},
    // Constants spelled as words.
    {"true", Field::Constant},
    {"false", Field::Constant},
}};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  return lower(c) - 'a' + 10;
}
bool isWordChar(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.' || c == ':';
}

// ---------------------------------------------------------------------------
// Tokens.

struct Token {
  enum class Kind : uint8_t { End, Error, Word, Value, LeftParen, RightParen, And, Or, Not, Compare };
  Kind kind = Kind::End;
  size_t position = 1;  // 1-based
  std::string word;     // lower case, for Word; the message, for Error
  std::string spelling; // as typed, for Word
  FilterValue value;    // for Value
  Compare compare = Compare::NonZero;
};

bool parseDecimal(std::string_view text, FilterValue& out) {
  if (text.empty()) return false;
  __extension__ using U128 = unsigned __int128;
  U128 value = 0;
  const U128 limit = ~U128{0};
  for (char c : text) {
    if (!isDigit(c)) return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (limit - digit) / 10) return false;
    value = value * 10 + digit;
  }
  out.high = static_cast<uint64_t>(value >> 64);
  out.low = static_cast<uint64_t>(value);
  return true;
}

bool parseHex(std::string_view digits, FilterValue& out) {
  if (digits.empty() || digits.size() > 32) return false;
  FilterValue v;
  for (char c : digits) {
    if (!isHexDigit(c)) return false;
    v.high = (v.high << 4) | (v.low >> 60);
    v.low = (v.low << 4) | static_cast<uint64_t>(hexValue(c));
  }
  out = v;
  return true;
}

bool parseIpv4(std::string_view text, uint32_t& out) {
  uint32_t address = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t start = i;
    uint32_t part = 0;
    while (i < text.size() && isDigit(text[i]) && i - start < 3) part = part * 10 + static_cast<uint32_t>(text[i++] - '0');
    if (i == start || part > 255) return false;
    if (i < text.size() && isDigit(text[i])) return false;  // a fourth digit
    address = (address << 8) | part;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  out = address;
  return true;
}

bool parseIpv6(std::string_view text, FilterValue& out) {
  std::array<uint16_t, 8> groups{};
  int count = 0;     // groups written
  int gapAt = -1;    // where "::" stands, in groups
  size_t i = 0;
  if (text.size() >= 2 && text[0] == ':' && text[1] == ':') {
    gapAt = 0;
    i = 2;
  } else if (!text.empty() && text[0] == ':') {
    return false;
  }
  while (i < text.size()) {
    // An embedded IPv4 address may end the text and stands for two groups.
    size_t end = i;
    while (end < text.size() && text[end] != ':') ++end;
    std::string_view piece = text.substr(i, end - i);
    if (piece.find('.') != std::string_view::npos) {
      uint32_t v4 = 0;
      if (end != text.size() || count > 6 || !parseIpv4(piece, v4)) return false;
      groups[count++] = static_cast<uint16_t>(v4 >> 16);
      groups[count++] = static_cast<uint16_t>(v4);
      i = end;
      break;
    }
    if (piece.empty() || piece.size() > 4 || count >= 8) return false;
    uint16_t g = 0;
    for (char c : piece) {
      if (!isHexDigit(c)) return false;
      g = static_cast<uint16_t>((g << 4) | hexValue(c));
    }
    groups[count++] = g;
    i = end;
    if (i == text.size()) break;
    ++i;  // the ':'
    if (i < text.size() && text[i] == ':') {
      if (gapAt >= 0) return false;  // a second "::"
      gapAt = count;
      ++i;
    } else if (i == text.size()) {
      return false;  // a trailing single ':'
    }
  }
  std::array<uint16_t, 8> full{};
  if (gapAt >= 0) {
    if (count > 7) return false;
    const int tail = count - gapAt;
    for (int k = 0; k < gapAt; ++k) full[k] = groups[k];
    for (int k = 0; k < tail; ++k) full[8 - tail + k] = groups[gapAt + k];
  } else {
    if (count != 8) return false;
    full = groups;
  }
  out = {};
  for (int k = 0; k < 4; ++k) out.high = (out.high << 16) | full[k];
  for (int k = 4; k < 8; ++k) out.low = (out.low << 16) | full[k];
  return true;
}

std::vector<Token> tokenize(std::string_view text) {
  std::vector<Token> tokens;
  size_t i = 0;
  auto error = [&](size_t at, std::string message) {
    Token t;
    t.kind = Token::Kind::Error;
    t.position = at + 1;
    t.word = std::move(message);
    tokens.push_back(std::move(t));
  };
  while (true) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    Token t;
    t.position = i + 1;
    if (i >= text.size()) {
      tokens.push_back(t);  // End
      return tokens;
    }
    const char c = text[i];
    const char n = i + 1 < text.size() ? text[i + 1] : '\0';
    auto simple = [&](Token::Kind kind, size_t width, Compare compare = Compare::NonZero) {
      t.kind = kind;
      t.compare = compare;
      tokens.push_back(t);
      i += width;
    };
    if (c == '(') { simple(Token::Kind::LeftParen, 1); continue; }
    if (c == ')') { simple(Token::Kind::RightParen, 1); continue; }
    if (c == '&' && n == '&') { simple(Token::Kind::And, 2); continue; }
    if (c == '|' && n == '|') { simple(Token::Kind::Or, 2); continue; }
    if (c == '!' && n == '=') { simple(Token::Kind::Compare, 2, Compare::NotEqual); continue; }
    if (c == '!') { simple(Token::Kind::Not, 1); continue; }
    if (c == '=' && n == '=') { simple(Token::Kind::Compare, 2, Compare::Equal); continue; }
    if (c == '=') { simple(Token::Kind::Compare, 1, Compare::Equal); continue; }
    if (c == '<' && n == '=') { simple(Token::Kind::Compare, 2, Compare::LessEqual); continue; }
    if (c == '<') { simple(Token::Kind::Compare, 1, Compare::Less); continue; }
    if (c == '>' && n == '=') { simple(Token::Kind::Compare, 2, Compare::GreaterEqual); continue; }
    if (c == '>') { simple(Token::Kind::Compare, 1, Compare::Greater); continue; }
    if (!isWordChar(c)) {
      const unsigned char byte = static_cast<unsigned char>(c);
      if (byte >= 0x20 && byte < 0x7f) {
        error(i, std::string("unexpected character \"") + c + "\"");
      } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", byte);
        error(i, std::string("unexpected character ") + hex);
      }
      return tokens;
    }
    size_t end = i;
    while (end < text.size() && isWordChar(text[end])) ++end;
    const std::string_view run = text.substr(i, end - i);
    if (run.find(':') != std::string_view::npos) {
      t.kind = Token::Kind::Value;
      if (!parseIpv6(run, t.value)) {
        error(i, "expected an IPv6 address");
        return tokens;
      }
    } else if (isDigit(run[0])) {
      t.kind = Token::Kind::Value;
      if (run.find('.') != std::string_view::npos) {
        uint32_t v4 = 0;
        if (!parseIpv4(run, v4)) {
          error(i, "expected an IPv4 address (four numbers 0-255 joined by dots)");
          return tokens;
        }
        t.value = {0, v4};
      } else if (run.size() >= 2 && run[0] == '0' && (run[1] == 'x' || run[1] == 'X')) {
        if (!parseHex(run.substr(2), t.value)) {
          error(i, "expected a hexadecimal number of at most 32 digits");
          return tokens;
        }
      } else if (!parseDecimal(run, t.value)) {
        bool digitsOnly = true;
        for (char d : run) digitsOnly = digitsOnly && isDigit(d);
        error(i, digitsOnly ? "number too large" : "expected a number");
        return tokens;
      }
    } else {
      std::string word(run);
      for (char& w : word) w = lower(w);
      if (word == "and") t.kind = Token::Kind::And;
      else if (word == "or") t.kind = Token::Kind::Or;
      else if (word == "not") t.kind = Token::Kind::Not;
      else t.kind = Token::Kind::Word;
      t.word = std::move(word);
      t.spelling = std::string(run);
    }
    tokens.push_back(std::move(t));
    i = end;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Parser: emits the program while it descends, so "a or b or c ..." of any
// length needs no recursion; only parentheses and "not" nest, and they are
// bounded so that no text can exhaust the stack.

class FilterParser {
 public:
  FilterParser(std::vector<Token> tokens, PacketFilter& filter) : tokens_(std::move(tokens)), filter_(filter) {}

  bool run() {
    if (!parseOr(0)) return false;
    const Token& t = peek();
    if (t.kind == Token::Kind::Error) return fail(t.position, t.word);
    if (t.kind != Token::Kind::End) return fail(t.position, "expected \"and\", \"or\" or the end of the filter");
    return true;
  }

  size_t errorPosition = 0;
  std::string errorText;

 private:
  static constexpr int kMaxDepth = 64;

  const Token& peek() const { return tokens_[next_]; }
  const Token& take() {
    const Token& t = tokens_[next_];
    if (next_ + 1 < tokens_.size()) ++next_;
    return t;
  }

  bool fail(size_t position, std::string text) {
    errorPosition = position;
    errorText = std::move(text);
    return false;
  }
  // The error token's own message wins over what the grammar expected there.
  bool failAt(const Token& t, const char* expected) {
    if (t.kind == Token::Kind::Error) return fail(t.position, t.word);
    return fail(t.position, expected);
  }

  uint32_t emitJump(Step::Kind kind) {
    Step s;
    s.kind = kind;
    filter_.program_.push_back(s);
    return static_cast<uint32_t>(filter_.program_.size() - 1);
  }
  void patch(const std::vector<uint32_t>& jumps) {
    for (uint32_t j : jumps) filter_.program_[j].target = static_cast<uint32_t>(filter_.program_.size());
  }

  bool parseOr(int depth) {
    if (!parseAnd(depth)) return false;
    std::vector<uint32_t> jumps;
    while (peek().kind == Token::Kind::Or) {
      take();
      jumps.push_back(emitJump(Step::Kind::JumpIfTrue));
      if (!parseAnd(depth)) return false;
    }
    patch(jumps);
    return true;
  }

  bool parseAnd(int depth) {
    if (!parseUnary(depth)) return false;
    std::vector<uint32_t> jumps;
    while (peek().kind == Token::Kind::And) {
      take();
      jumps.push_back(emitJump(Step::Kind::JumpIfFalse));
      if (!parseUnary(depth)) return false;
    }
    patch(jumps);
    return true;
  }

  bool parseUnary(int depth) {
    const Token& t = peek();
    if (depth >= kMaxDepth && (t.kind == Token::Kind::Not || t.kind == Token::Kind::LeftParen)) {
      return fail(t.position, "the filter is nested too deeply");
    }
    if (t.kind == Token::Kind::Not) {
      take();
      if (!parseUnary(depth + 1)) return false;
      Step s;
      s.kind = Step::Kind::Not;
      filter_.program_.push_back(s);
      return true;
    }
    if (t.kind == Token::Kind::LeftParen) {
      take();
      if (!parseOr(depth + 1)) return false;
      const Token& close = peek();
      if (close.kind != Token::Kind::RightParen) return failAt(close, "expected \"and\", \"or\" or \")\"");
      take();
      return true;
    }
    return parseTest();
  }

  bool parseValue(PacketFilter::Operand& out, const char* expected) {
    const Token& t = peek();
    if (t.kind == Token::Kind::Value) {
      out.field = Field::Constant;
      out.constant = t.value;
      take();
      return true;
    }
    if (t.kind != Token::Kind::Word) return failAt(t, expected);
    for (const FieldName& f : kFieldNames) {
      if (t.word == f.name) {
        out.field = f.field;
        out.constant = {0, t.word == "true" ? 1u : 0u};
        if (f.field == Field::Loopback) filter_.mentionsLoopback_ = true;
        take();
        return true;
      }
    }
    return fail(t.position, "unknown field \"" + t.spelling + "\"");
  }

  bool parseTest() {
    Step s;
    s.kind = Step::Kind::Test;
    if (!parseValue(s.left, "expected a field, a number or \"(\"")) return false;
    if (peek().kind == Token::Kind::Compare) {
      s.compare = take().compare;
      if (!parseValue(s.right, "expected a field or a number")) return false;
    }
    filter_.program_.push_back(s);
    return true;
  }

  std::vector<Token> tokens_;
  size_t next_ = 0;
  PacketFilter& filter_;
};

namespace {

SimpleFilter classify(const std::vector<Token>& tokens) {
  // tokens end with End; compare what stands before it.
  const size_t n = tokens.size() - 1;
  auto word = [&](size_t k, const char* w) { return tokens[k].kind == Token::Kind::Word && tokens[k].word == w; };
  if (n == 1) {
    if (word(0, "true")) return SimpleFilter::True;
    if (word(0, "tcp")) return SimpleFilter::Tcp;
    if (word(0, "udp")) return SimpleFilter::Udp;
    if (word(0, "inbound")) return SimpleFilter::Inbound;
    if (word(0, "outbound")) return SimpleFilter::Outbound;
  }
  if (n == 3 && word(0, "ip") && tokens[1].kind == Token::Kind::Or && word(2, "ipv6")) return SimpleFilter::IpOrIpv6;
  return SimpleFilter::None;
}

}  // namespace

const char* simpleFilterText(SimpleFilter choice) {
  switch (choice) {
    case SimpleFilter::True: return "true";
    case SimpleFilter::Tcp: return "tcp";
    case SimpleFilter::Udp: return "udp";
    case SimpleFilter::IpOrIpv6: return "ip or ipv6";
    case SimpleFilter::Inbound: return "inbound";
    case SimpleFilter::Outbound: return "outbound";
    case SimpleFilter::None: break;
  }
  return "";
}

PacketFilter::PacketFilter() {
  Step s;
  s.left.field = Field::Constant;
  s.left.constant = {0, 1};
  program_.push_back(s);
}

PacketFilter PacketFilter::parse(std::string_view text) {
  PacketFilter filter;
  filter.program_.clear();
  std::vector<Token> tokens = tokenize(text);
  const SimpleFilter choice = classify(tokens);
  FilterParser parser(std::move(tokens), filter);
  if (!parser.run()) {
    filter.program_.clear();
    filter.mentionsLoopback_ = false;
    filter.simpleChoice_ = SimpleFilter::None;
    filter.errorPosition_ = parser.errorPosition;
    filter.error_ = "at " + std::to_string(parser.errorPosition) + ": " + parser.errorText;
    return filter;
  }
  filter.simpleChoice_ = choice;
  filter.program_.shrink_to_fit();
  return filter;
}

// ---------------------------------------------------------------------------
// Evaluation.

namespace {

uint16_t read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t read32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
uint64_t read64(const uint8_t* p) { return (static_cast<uint64_t>(read32(p)) << 32) | read32(p + 4); }

// What one packet carries, found once per packet. Every pointer here has been
// checked against the packet's length for the bytes the fields read.
struct PacketFacts {
  bool outbound = false;
  bool loopback = false;
  uint8_t version = 0;    // 4 or 6 when the IP header is whole, else 0
  uint8_t transport = 0;  // 1, 6, 17 or 58 when that header is whole, else 0
  const uint8_t* ip = nullptr;
  const uint8_t* l4 = nullptr;
  size_t l4Length = 0;  // bytes from l4 to the end of the datagram
};

constexpr uint8_t kIcmp = 1, kTcp = 6, kUdp = 17, kIcmpv6 = 58;

void decodeTransport(PacketFacts& f, uint8_t protocol, const uint8_t* l4, size_t length) {
  size_t need = 0;
  switch (protocol) {
    case kTcp:
      if (length < 20) return;
      need = static_cast<size_t>(l4[12] >> 4) * 4;
      if (need < 20 || need > length) return;
      break;
    case kUdp:
    case kIcmp:
    case kIcmpv6:
      need = 8;
      break;
    default:
      return;
  }
  if (length < need) return;
  if ((protocol == kIcmp && f.version != 4) || (protocol == kIcmpv6 && f.version != 6)) return;
  f.transport = protocol;
  f.l4 = l4;
  f.l4Length = length;
}

void decodeIpv4(PacketFacts& f, const uint8_t* p, size_t length) {
  if (length < 20) return;
  const size_t headerLength = static_cast<size_t>(p[0] & 0x0f) * 4;
  const size_t totalLength = read16(p + 2);
  // A total length of 0 marks a segment too large for the field (the kernel's
  // big TCP offload); only the captured length tells its end then.
  if (headerLength < 20 || headerLength > length || (totalLength != 0 && totalLength < headerLength)) return;
  f.version = 4;
  f.ip = p;
  const size_t end = (totalLength == 0 || totalLength > length) ? length : totalLength;
  const bool laterFragment = (read16(p + 6) & 0x1fff) != 0;
  if (!laterFragment) decodeTransport(f, p[9], p + headerLength, end - headerLength);
}

void decodeIpv6(PacketFacts& f, const uint8_t* p, size_t length) {
  if (length < 40) return;
  f.version = 6;
  f.ip = p;
  const size_t payload = read16(p + 4);
  // A zero payload length (jumbogram) leaves only the captured length to go by.
  const size_t end = (payload == 0 || 40 + payload > length) ? length : 40 + payload;
  uint8_t next = p[6];
  size_t offset = 40;
  // Walk the usual extension headers; a bounded number so that a chain of
  // them cannot cost more than a few reads.
  for (int hops = 0; hops < 8; ++hops) {
    if (next == 0 || next == 43 || next == 60 || next == 135 || next == 139 || next == 140) {
      if (offset + 8 > end) return;
      const size_t size = (static_cast<size_t>(p[offset + 1]) + 1) * 8;
      next = p[offset];
      offset += size;
    } else if (next == 44) {  // fragment
      if (offset + 8 > end) return;
      if ((read16(p + offset + 2) & 0xfff8) != 0) return;  // not the first fragment
      next = p[offset];
      offset += 8;
    } else if (next == 51) {  // authentication header
      if (offset + 8 > end) return;
      const size_t size = (static_cast<size_t>(p[offset + 1]) + 2) * 4;
      next = p[offset];
      offset += size;
    } else {
      break;
    }
    if (offset > end) return;
  }
  decodeTransport(f, next, p + offset, end - offset);
}

bool read(const PacketFacts& f, const PacketFilter::Operand& o, FilterValue& v) {
  auto flag = [&](bool b) {
    v = {0, b ? 1u : 0u};
    return true;
  };
  auto number = [&](uint64_t n) {
    v = {0, n};
    return true;
  };
  const uint8_t* ip = f.ip;
  const uint8_t* l4 = f.l4;
  const bool v4 = f.version == 4, v6 = f.version == 6;
  const bool tcp = f.transport == kTcp, udp = f.transport == kUdp;
  const bool icmp = f.transport == kIcmp, icmpv6 = f.transport == kIcmpv6;
  switch (o.field) {
    case Field::Constant: v = o.constant; return true;
    case Field::Inbound: return flag(!f.outbound);
    case Field::Outbound: return flag(f.outbound);
    case Field::Loopback: return flag(f.loopback);
    case Field::Ip: return flag(v4);
    case Field::Ipv6: return flag(v6);
    case Field::Icmp: return flag(icmp);
    case Field::Icmpv6: return flag(icmpv6);
    case Field::Tcp: return flag(tcp);
    case Field::Udp: return flag(udp);
    case Field::IpSrcAddr: return v4 && number(read32(ip + 12));
    case Field::IpDstAddr: return v4 && number(read32(ip + 16));
    case Field::IpProtocol: return v4 && number(ip[9]);
    case Field::IpTtl: return v4 && number(ip[8]);
    case Field::IpLength: return v4 && number(read16(ip + 2));
    case Field::Ipv6SrcAddr:
      if (!v6) return false;
      v = {read64(ip + 8), read64(ip + 16)};
      return true;
    case Field::Ipv6DstAddr:
      if (!v6) return false;
      v = {read64(ip + 24), read64(ip + 32)};
      return true;
    case Field::Ipv6NextHdr: return v6 && number(ip[6]);
    case Field::Ipv6HopLimit: return v6 && number(ip[7]);
    case Field::IcmpType: return icmp && number(l4[0]);
    case Field::IcmpCode: return icmp && number(l4[1]);
    case Field::Icmpv6Type: return icmpv6 && number(l4[0]);
    case Field::Icmpv6Code: return icmpv6 && number(l4[1]);
    case Field::TcpSrcPort: return tcp && number(read16(l4));
    case Field::TcpDstPort: return tcp && number(read16(l4 + 2));
    case Field::TcpFin: return tcp && number((l4[13] >> 0) & 1);
    case Field::TcpSyn: return tcp && number((l4[13] >> 1) & 1);
    case Field::TcpRst: return tcp && number((l4[13] >> 2) & 1);
    case Field::TcpPsh: return tcp && number((l4[13] >> 3) & 1);
    case Field::TcpAck: return tcp && number((l4[13] >> 4) & 1);
    case Field::TcpUrg: return tcp && number((l4[13] >> 5) & 1);
    case Field::TcpPayloadLength: return tcp && number(f.l4Length - static_cast<size_t>(l4[12] >> 4) * 4);
    case Field::UdpSrcPort: return udp && number(read16(l4));
    case Field::UdpDstPort: return udp && number(read16(l4 + 2));
    case Field::UdpPayloadLength: return udp && number(f.l4Length - 8);
  }
  return false;
}

bool test(const PacketFacts& f, const Step& s) {
  FilterValue a, b;
  if (!read(f, s.left, a)) return false;
  if (s.compare == Compare::NonZero) return a != FilterValue{};
  if (!read(f, s.right, b)) return false;
  switch (s.compare) {
    case Compare::Equal: return a == b;
    case Compare::NotEqual: return a != b;
    case Compare::Less: return a < b;
    case Compare::LessEqual: return a <= b;
    case Compare::Greater: return a > b;
    case Compare::GreaterEqual: return a >= b;
    case Compare::NonZero: break;
  }
  return false;
}

}  // namespace

bool PacketFilter::matches(const uint8_t* packet, size_t length, bool outbound, bool loopback) const {
  if (program_.empty()) return false;  // a text that did not compile matches nothing
  PacketFacts facts;
  facts.outbound = outbound;
  facts.loopback = loopback;
  if (packet != nullptr && length > 0) {
    const uint8_t version = packet[0] >> 4;
    if (version == 4) decodeIpv4(facts, packet, length);
    else if (version == 6) decodeIpv6(facts, packet, length);
  }
  bool result = false;
  const Step* steps = program_.data();
  const size_t count = program_.size();
  for (size_t i = 0; i < count;) {
    const Step& s = steps[i];
    switch (s.kind) {
      case Step::Kind::Test:
        result = test(facts, s);
        ++i;
        break;
      case Step::Kind::Not:
        result = !result;
        ++i;
        break;
      case Step::Kind::JumpIfFalse:
        i = result ? i + 1 : s.target;
        break;
      case Step::Kind::JumpIfTrue:
        i = result ? s.target : i + 1;
        break;
    }
  }
  return result;
}

}  // namespace rivulo
