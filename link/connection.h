// Starting and stopping a connection with the unit: open the port, dial through a modem
// when asked, log in with the password, detect the unit, read its firmware version and
// ask for the data-logger functions.
#pragma once

#include <optional>
#include <string>

#include "link/byte_port.h"
#include "link/serial_line.h"
#include "text/string_table.h"

namespace zdl {

inline constexpr Millis kDirectTimeout{1000};
inline constexpr Millis kModemTimeout{10000};

// What a front end supplies: the password prompt and the message boxes.
class ConnectionUi {
 public:
  virtual ~ConnectionUi() = default;
  // The password as typed (a number text), or empty when the user cancels.
  virtual std::optional<std::string> AskPassword() = 0;
  // A message box with the exclamation icon: a text of the string table...
  virtual void Message(TextId text) = 0;
  // ...or a description of an unexpected error or of the port's failure (UTF-8), shown
  // in the front end's language.
  virtual void ErrorMessage(const BilingualText& description) = 0;
  // The status label (ProgStat).
  virtual void Status(TextId /*text*/) {}
};

struct ConnectionOptions {
  std::string port = "COM1";  // "COM1" to "COM16" or a device path
  bool modem = false;         // ModemCheck
  std::string callNumber;     // CallNum
};

enum class StartResult {
  Connected,
  InvalidPhoneNumber,  // message EnterValidPhoneNumber; nothing changed
  PortError,           // the port could not be opened; the description was shown
  DialFailed,          // the reason is the start's DialOutcome
  BadPassword,         // status BadPasswordStatus, message BadPassword
  NotFound,            // message UnitNotFound
  Cancelled,           // the exchange's cancel was requested; port closed, status
                       // CommunicationNotStarted, no message
};

// How a dial through the modem ended.
enum class DialOutcome {
  NotDialled,  // a direct cable, or the start ended before the dial had an outcome
  Connected,   // "CONNECT..."
  Busy,        // "BUSY"
  NoAnswer,    // "NO ANSWER"
  NoCarrier,   // "NO CARRIER"
  NoDialtone,  // "NO DIALTONE"
  ModemError,  // "ERROR"
  NoModem,     // the modem did not answer "AT" with "OK"
  NoReply,     // no outcome within the dial's time, or the port closed under it
};

// The status text of a dial outcome (a front end shows it in its language): Busy to
// ModemError have their own, NoModem and NoReply are a communication error.
TextId DialOutcomeText(DialOutcome outcome);

// What a start came to. Compared with a StartResult, it is its result.
struct Started {
  StartResult result = StartResult::Connected;
  // A failed dial that ended the start (DialFailed, not interrupted): why; otherwise
  // NotDialled, or Connected after a dial that succeeded.
  DialOutcome dial = DialOutcome::NotDialled;
  // The carrier dropped under the start; its message was shown.
  bool carrierLost = false;
  operator StartResult() const { return result; }  // NOLINT(google-explicit-constructor)
};

// The connection state of the general form.
class Connection {
 public:
  Connection(BytePort& port, Clock& clock) : port_(port), line_(port, clock) {}

  // Starts a connection (the port must be closed). HasDatalogger and FirmVersion are
  // reset first, so one unit's answers are never used for another; any failure leaves
  // the port closed. A cancel of the exchange (BytePort::RequestCancel), requested
  // before the call or at any moment during it, ends it as Cancelled.
  Started Start(const ConnectionOptions& options, ConnectionUi& ui);
  // Stops it: "ATH" through a modem, then the port is closed. Status
  // CommunicationNotStarted. With a
  // cancel pending nothing is sent: closing the port drops DTR, which hangs up.
  void Stop(ConnectionUi& ui);
  // After a failed exchange: when the carrier watch saw carrier drop, shows
  // ModemConnectionLost and stops the connection. True when it did.
  bool HandleCarrierLoss(ConnectionUi& ui);
  // The carrier watch of an idle connection: the front end calls it on a timer (a few
  // times a second) on the port's thread while no exchange runs. A carrier drop shows
  // ModemConnectionLost once and stops the connection; a port that closed by itself (the device
  // went away) shows its description and stops it too. False once the connection has
  // ended, then or before: the front end stops its timer and shows the stopped state.
  bool WatchCarrier(ConnectionUi& ui);
  // A cancel is pending: the last exchange failed because the user asked for it.
  bool CancelRequested() { return port_.CancelRequested(); }

  bool IsOpen() const { return port_.IsOpen(); }
  SerialLine& Line() { return line_; }
  Millis ComTimeOut() const { return comTimeOut_; }
  bool HasDatalogger() const { return hasDatalogger_; }
  float FirmVersion() const { return firmVersion_; }
  // The version text after "#VER=", Windows-1252.
  const std::string& FirmText() const { return firmText_; }
  bool Modem() const { return modem_; }

 private:
  Started Run(const ConnectionOptions& options, ConnectionUi& ui);
  // The password dialogue through a modem: true when the unit answered "#PassWord=1".
  bool Login(ConnectionUi& ui);
  // The start cannot go on: the port closed under an exchange or a cancel is pending.
  bool Interrupted() { return !port_.IsOpen() || port_.CancelRequested(); }
  // Ends a start that was interrupted (carrier drop, cancel, device gone); a cancel makes
  // the result Cancelled and shows nothing.
  Started Abandon(ConnectionUi& ui, StartResult result);

  BytePort& port_;
  SerialLine line_;
  Millis comTimeOut_ = kDirectTimeout;
  bool hasDatalogger_ = false;
  float firmVersion_ = 0;
  std::string firmText_;
  bool modem_ = false;
};

// Dials the unit through the modem on an open port: Connected, or why not.
DialOutcome DialModem(SerialLine& line, const std::string& number);

}  // namespace zdl
