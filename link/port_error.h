// Why a serial port failed, as the port adapter knows it: a typed reason and, where the
// system gave one, the system's own description (Qt's, already in the session's
// language). The words are chosen in the language of the place that shows them.
#pragma once

#include <string>

#include "text/extra_texts.h"

namespace zdl {

enum class PortFailure {
  None,
  NoName,       // no serial port given
  OpenFailed,   // the system refused to open the device: `system` says why
  ReadFailed,   // reading failed: the device was removed or its far end closed
  WriteFailed,  // writing failed: the same
  Gone,         // the device is no longer available
  CarrierLost,  // the modem's carrier dropped
  Other,        // only `system` says why
};

struct PortError {
  PortFailure reason = PortFailure::None;
  std::string device;  // the device path, when known
  std::string system;  // the system's description, UTF-8, when it gave one

  bool empty() const { return reason == PortFailure::None; }
  bool operator==(const PortError&) const = default;
};

// "DEVICE: what happened" in both languages ("" for None).
BilingualText PortErrorText(const PortError& error);

}  // namespace zdl
