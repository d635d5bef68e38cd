#pragma once
// Making a packet taken from the kernel fit to be sent again by a raw socket.
// The queue hands us large TCP segments (GSO) and packets whose transport
// checksum the network card was meant to finish; a raw socket sends bytes as
// they are, so checksums are completed and large TCP segments are cut to the
// path's MTU first, as the kernel would have done.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace rivulo {

// Recomputes the TCP, UDP or ICMPv6 checksum of an IPv4/IPv6 packet in
// place (IPv4 header checksum too). False when the packet is too short or of
// another kind; then it is left as it was.
bool completeChecksum(uint8_t* packet, size_t length);

// Cuts a TCP packet longer than `mtu` into packets of at most `mtu` bytes
// with consecutive sequence numbers, FIN/PSH only on the last and CWR only on
// the first, each with complete checksums, and hands each to `emit`. A packet
// that fits, or that is not TCP over IPv4/IPv6 without extension headers, is
// handed over whole (checksum completed when `fixChecksum`). Returns false
// when `emit` failed for some piece (it stops there).
bool forEachSegment(const uint8_t* packet, size_t length, size_t mtu, bool fixChecksum,
                    const std::function<bool(const uint8_t*, size_t)>& emit);

}  // namespace rivulo
