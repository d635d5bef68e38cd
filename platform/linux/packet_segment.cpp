#include "platform/linux/packet_segment.h"

#include <algorithm>
#include <cstring>

namespace rivulo {

namespace {

uint32_t sumBytes(const uint8_t* p, size_t n, uint32_t sum = 0) {
  for (size_t i = 0; i + 1 < n; i += 2) sum += static_cast<uint32_t>(p[i] << 8 | p[i + 1]);
  if (n & 1) sum += static_cast<uint32_t>(p[n - 1] << 8);
  return sum;
}

uint16_t fold(uint32_t sum) {
  while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
  return static_cast<uint16_t>(~sum & 0xffff);
}

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, static_cast<uint16_t>(v >> 16));
  put16(p + 2, static_cast<uint16_t>(v));
}

// Where the transport header starts and which protocol it is; 0 when the
// packet is not one we can handle.
size_t transportOffset(const uint8_t* p, size_t length, uint8_t& proto) {
  if (length < 20) return 0;
  const uint8_t version = p[0] >> 4;
  if (version == 4) {
    const size_t ihl = static_cast<size_t>(p[0] & 0x0f) * 4;
    const uint16_t fragment = get16(p + 6);
    if (ihl < 20 || ihl > length || (fragment & 0x3fff) != 0) return 0;  // fragments carry no full L4 header
    proto = p[9];
    return ihl;
  }
  if (version == 6 && length >= 40) {
    proto = p[6];
    return 40;
  }
  return 0;
}

void fixIpv4Header(uint8_t* p) {
  const size_t ihl = static_cast<size_t>(p[0] & 0x0f) * 4;
  p[10] = p[11] = 0;
  put16(p + 10, fold(sumBytes(p, ihl)));
}

}  // namespace

bool completeChecksum(uint8_t* p, size_t length) {
  uint8_t proto = 0;
  const size_t l4 = transportOffset(p, length, proto);
  if (l4 == 0) return false;
  const bool v4 = (p[0] >> 4) == 4;
  // Only what the IP header says belongs to the packet.
  const size_t total = v4 ? std::min<size_t>(get16(p + 2), length) : std::min<size_t>(40 + get16(p + 4), length);
  if (total < l4) return false;
  const size_t l4Length = total - l4;
  size_t field;
  if (proto == 6 && l4Length >= 20) field = 16;
  else if (proto == 17 && l4Length >= 8) field = 6;
  else if (proto == 58 && !v4 && l4Length >= 4) field = 2;
  else return false;
  p[l4 + field] = p[l4 + field + 1] = 0;
  uint32_t sum = v4 ? sumBytes(p + 12, 8) : sumBytes(p + 8, 32);
  sum += proto;
  sum += static_cast<uint32_t>(l4Length & 0xffff) + static_cast<uint32_t>(l4Length >> 16);
  sum = sumBytes(p + l4, l4Length, sum);
  uint16_t c = fold(sum);
  if (proto == 17 && c == 0) c = 0xffff;  // zero means "no checksum" for UDP
  put16(p + l4 + field, c);
  if (v4) fixIpv4Header(p);
  return true;
}

bool forEachSegment(const uint8_t* packet, size_t length, size_t mtu, bool fixChecksum,
                    const std::function<bool(const uint8_t*, size_t)>& emit) {
  uint8_t proto = 0;
  const size_t l4 = transportOffset(packet, length, proto);
  const bool v4 = length > 0 && (packet[0] >> 4) == 4;
  const size_t tcpHeader = (l4 != 0 && proto == 6 && length >= l4 + 20) ? static_cast<size_t>(packet[l4 + 12] >> 4) * 4 : 0;
  const bool cuttable = tcpHeader >= 20 && l4 + tcpHeader <= length && mtu > l4 + tcpHeader + 8;
  if (length <= mtu || !cuttable) {
    if (!fixChecksum) return emit(packet, length);
    std::vector<uint8_t> copy(packet, packet + length);
    completeChecksum(copy.data(), copy.size());
    return emit(copy.data(), copy.size());
  }
  const size_t headers = l4 + tcpHeader;
  const size_t mss = mtu - headers;
  const size_t payload = length - headers;
  const uint32_t seq = get32(packet + l4 + 4);
  const uint8_t flags = packet[l4 + 13];
  const uint16_t ipId = v4 ? get16(packet + 4) : 0;
  std::vector<uint8_t> piece(mtu);
  size_t index = 0;
  for (size_t offset = 0; offset < payload; offset += mss, ++index) {
    const size_t chunk = std::min(mss, payload - offset);
    const bool last = offset + chunk >= payload;
    std::memcpy(piece.data(), packet, headers);
    std::memcpy(piece.data() + headers, packet + headers + offset, chunk);
    const size_t size = headers + chunk;
    if (v4) {
      put16(piece.data() + 2, static_cast<uint16_t>(size));
      put16(piece.data() + 4, static_cast<uint16_t>(ipId + index));
    } else {
      put16(piece.data() + 4, static_cast<uint16_t>(size - 40));
    }
    put32(piece.data() + l4 + 4, seq + static_cast<uint32_t>(offset));
    uint8_t f = flags;
    if (!last) f &= static_cast<uint8_t>(~0x09);  // FIN, PSH
    if (index != 0) f &= static_cast<uint8_t>(~0x80);  // CWR
    piece[l4 + 13] = f;
    completeChecksum(piece.data(), size);
    if (!emit(piece.data(), size)) return false;
  }
  return true;
}

}  // namespace rivulo
