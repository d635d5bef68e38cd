#include "platform/linux/driver_filter.h"

namespace rivulo {

// Until the filter language is available to this build, only the choices of
// the FILTER combo box (and "loopback") are understood; anything else is
// rejected with a clear message rather than silently matching everything.
struct DriverFilter::Impl {
  enum class Kind { All, Tcp, Udp, Inbound, Outbound, Loopback } kind = Kind::All;
};

DriverFilter::DriverFilter() : impl_(std::make_unique<Impl>()) {}
DriverFilter::~DriverFilter() = default;
DriverFilter::DriverFilter(DriverFilter&&) noexcept = default;
DriverFilter& DriverFilter::operator=(DriverFilter&&) noexcept = default;

DriverError DriverFilter::compile(const std::string& text) {
  using K = Impl::Kind;
  simple_.clear();
  loopback_ = false;
  if (text == "true" || text == "ip or ipv6") impl_->kind = K::All;
  else if (text == "tcp") impl_->kind = K::Tcp;
  else if (text == "udp") impl_->kind = K::Udp;
  else if (text == "inbound") impl_->kind = K::Inbound;
  else if (text == "outbound") impl_->kind = K::Outbound;
  else if (text == "loopback") {
    impl_->kind = K::Loopback;
    loopback_ = true;
    return {};
  } else {
    return {DriverErrorKind::FilterRejected, 0, "at 1: expected true, tcp, udp, inbound or outbound"};
  }
  simple_ = text;
  return {};
}

bool DriverFilter::matches(const uint8_t* packet, size_t length, bool outbound, bool loopback) const {
  using K = Impl::Kind;
  if (length < 1) return false;
  uint8_t version = packet[0] >> 4;
  uint8_t proto = 0;
  if (version == 4 && length >= 20) proto = packet[9];
  else if (version == 6 && length >= 40) proto = packet[6];
  switch (impl_->kind) {
    case K::All: return true;
    case K::Tcp: return proto == 6;
    case K::Udp: return proto == 17;
    case K::Inbound: return !outbound;
    case K::Outbound: return outbound;
    case K::Loopback: return loopback;
  }
  return false;
}

}  // namespace rivulo
