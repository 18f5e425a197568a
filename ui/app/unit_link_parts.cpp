#include "ui/app/unit_link_parts.h"

#include <utility>

#include "sim/unit_setup.h"

namespace zdl::ui {

namespace {

std::unique_ptr<SimulatedUnit> NewVirtualUnit(const UnitLinkOptions& options) {
  SimOptions sim;
  sim.password = UnitLink::VirtualUnitPassword();
  sim.paced = options.pacedVirtualUnit;
  sim.saveTime = options.virtualSaveTime;
  sim.faults = options.virtualFaults;
  auto unit = std::make_unique<SimulatedUnit>(sim);
  if (options.virtualConfiguration) StartFromConfiguration(*unit, *options.virtualConfiguration);
  return unit;
}

}  // namespace

VirtualUnit::VirtualUnit(const UnitLinkOptions& options, Clock& clock)
    : clock_(clock),
      unit_(NewVirtualUnit(options)),
      port_(*unit_, clock),
      bootLoaderFaults_(options.virtualBootLoaderFaults) {}

void VirtualUnit::UseModem(bool modem) {
  if (unit_->Options().modem == modem) return;
  SimOptions options = unit_->Options();
  options.modem = modem;
  auto next = std::make_unique<SimulatedUnit>(options, unit_->Record());
  port_.Attach(*next);
  unit_ = std::move(next);
}

void VirtualUnit::SwitchOnIntoBootLoader() {
  if (unit_->BootLoader()) {
    unit_->PowerCycle(clock_.Now());
    return;
  }
  BootLoaderOptions options;
  options.paced = unit_->Options().paced;
  options.faults = bootLoaderFaults_;
  unit_->EnterBootLoader(options, clock_.Now());
}

void VirtualUnit::LeaveBootLoader() {
  if (unit_->BootLoader()) unit_->LeaveBootLoader(clock_.Now());
}

std::string VirtualUnit::BootLoaderReceived() const {
  return unit_->BootLoader() ? unit_->BootLoader()->Received() : std::string();
}

std::vector<std::string> VirtualUnit::TakeReceivedLines() {
  static constexpr std::string_view kReceived = "received ";
  std::vector<std::string> lines;
  for (std::string& entry : unit_->TakeTrace()) {
    if (entry.starts_with(kReceived)) lines.push_back(entry.substr(kReceived.size()));
  }
  return lines;
}

LineSink::int_type LineSink::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  Put(traits_type::to_char_type(c));
  return c;
}

std::streamsize LineSink::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) Put(text[i]);
  return count;
}

void LineSink::Put(char c) {
  if (c != '\n') {
    line_ += c;
    return;
  }
  emitLine_(std::exchange(line_, std::string()));
}

PortRoutes::PortRoutes(BytePort& virtualUnit, Clock& clock, std::function<void(std::string)> traceLine)
    : virtual_(virtualUnit),
      real_(clock),
      traceSink_([this, traceLine = std::move(traceLine)](std::string line) {
        if (silent_.load(std::memory_order_acquire)) return;
        traceLine(std::move(line));
      }),
      traceOut_(&traceSink_),
      realTraced_(real_, clock, traceOut_),
      virtualTraced_(virtual_, clock, traceOut_),
      routed_(real_, realTraced_, virtual_, virtualTraced_, trace_) {}

void PortRoutes::RequestCancel() {
  real_.RequestCancel();
  virtual_.RequestCancel();
}

void PortRoutes::BeginExchange() {
  real_.BeginExchange();
  virtual_.BeginExchange();
}

}  // namespace zdl::ui
