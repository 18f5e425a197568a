#include "link/port_error.h"

namespace zdl {

namespace {

BilingualText Words(const PortError& error) {
  switch (error.reason) {
    case PortFailure::None: return {};
    case PortFailure::NoName: return BilingualText::Format(ExtraText::PortNoName);
    case PortFailure::ReadFailed: return BilingualText::Format(ExtraText::PortReadFailed);
    case PortFailure::WriteFailed: return BilingualText::Format(ExtraText::PortWriteFailed);
    case PortFailure::Gone: return BilingualText::Format(ExtraText::PortGone);
    case PortFailure::CarrierLost: return BilingualText::Format(ExtraText::PortCarrierLost);
    case PortFailure::OpenFailed:
    case PortFailure::Other: break;
  }
  return error.system;
}

}  // namespace

BilingualText PortErrorText(const PortError& error) {
  const BilingualText words = Words(error);
  if (error.empty() || error.device.empty()) return words;
  return words.Prefixed(error.device + ": ");
}

}  // namespace zdl
