#include "platform/linux/driver_filter.h"

#include "engine/packet_filter.h"

namespace rivulo {

struct DriverFilter::Impl {
  PacketFilter program;
};

DriverFilter::DriverFilter() : impl_(std::make_unique<Impl>()) {}
DriverFilter::~DriverFilter() = default;
DriverFilter::DriverFilter(DriverFilter&&) noexcept = default;
DriverFilter& DriverFilter::operator=(DriverFilter&&) noexcept = default;

DriverError DriverFilter::compile(const std::string& text) {
  impl_->program = PacketFilter::parse(text);
  simple_.clear();
  loopback_ = false;
  if (!impl_->program.ok()) return {DriverErrorKind::FilterRejected, 0, impl_->program.error()};
  loopback_ = impl_->program.mentionsLoopback();
  switch (impl_->program.simpleChoice()) {
    case SimpleFilter::True: simple_ = "true"; break;
    case SimpleFilter::Tcp: simple_ = "tcp"; break;
    case SimpleFilter::Udp: simple_ = "udp"; break;
    case SimpleFilter::IpOrIpv6: simple_ = "ip or ipv6"; break;
    case SimpleFilter::Inbound: simple_ = "inbound"; break;
    case SimpleFilter::Outbound: simple_ = "outbound"; break;
    case SimpleFilter::None: break;
  }
  return {};
}

bool DriverFilter::matches(const uint8_t* packet, size_t length, bool outbound, bool loopback) const {
  return impl_->program.matches(packet, length, outbound, loopback);
}

}  // namespace rivulo
