#include "link/connection.h"

#include <exception>
#include <string_view>

#include "link/firmware_version.h"
#include "model/validators.h"

namespace zdl {

namespace {

constexpr Millis kHangUpTimeout{1000};
constexpr Millis kModemTestTimeout{1000};
constexpr Millis kDialTurn{1000};
constexpr int kDialTurns = 61;
constexpr int kLoginTries = 3;
constexpr int kDetectTries = 5;

struct ModemReply {
  std::string_view text;
  DialOutcome outcome;
};
// Whole-line replies that end a dial as failed, in the order they are tested.
constexpr ModemReply kDialFailures[] = {
    {"BUSY", DialOutcome::Busy},
    {"NO ANSWER", DialOutcome::NoAnswer},
    {"NO CARRIER", DialOutcome::NoCarrier},
    {"NO DIALTONE", DialOutcome::NoDialtone},
    {"ERROR", DialOutcome::ModemError},
};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "#00" until the unit answers "#ACK"; a unit answering something else is asked again,
// a silent one (already asked four times by SendCommand) is given up at once.
bool DetectUnit(SerialLine& line, Millis timeout) {
  for (int attempt = 0; attempt < kDetectTries; ++attempt) {
    std::string command = "#00";
    line.SendCommand(command, timeout);
    if (line.LastAnswer == "#ACK" || line.LastAnswer.empty()) break;
  }
  return line.LastAnswer == "#ACK";
}

}  // namespace

TextId DialOutcomeText(DialOutcome outcome) {
  switch (outcome) {
    case DialOutcome::Busy: return TextId::Busy;
    case DialOutcome::NoAnswer: return TextId::NoAnswer;
    case DialOutcome::NoCarrier: return TextId::NoCarrier;
    case DialOutcome::NoDialtone: return TextId::NoDialtone;
    case DialOutcome::ModemError: return TextId::DialError;
    case DialOutcome::NotDialled:
    case DialOutcome::Connected:
    case DialOutcome::NoModem:
    case DialOutcome::NoReply: break;
  }
  return TextId::CommunicationError;
}

DialOutcome DialModem(SerialLine& line, const std::string& number) {
  line.SendAT("ATE0", kModemTestTimeout);  // echo off; the reply does not matter
  line.SendAT("AT", kModemTestTimeout);
  if (line.LastAnswer != "OK") return DialOutcome::NoModem;
  line.SendAT("ATD" + number, Millis{0});
  // The echo of the dial command and "RING" lines are neither outcome.
  for (int turn = 0; turn < kDialTurns && line.Port().IsOpen() && !line.Port().CancelRequested();
       ++turn) {
    if (!line.ReadLine(kDialTurn)) continue;
    if (line.LastAnswer.find("CONNECT") != std::string::npos) return DialOutcome::Connected;
    for (const ModemReply& failure : kDialFailures) {
      if (line.LastAnswer == failure.text) return failure.outcome;
    }
  }
  return DialOutcome::NoReply;
}

Started Connection::Start(const ConnectionOptions& options, ConnectionUi& ui) {
  if (options.modem && !CheckInt(options.callNumber)) {
    ui.Message(TextId::EnterValidPhoneNumber);
    return {StartResult::InvalidPhoneNumber};
  }
  // A start always begins on a closed port; nothing of an earlier unit is kept.
  port_.Close();
  port_.TakeCarrierLoss();  // a drop seen by an earlier connection is old news
  hasDatalogger_ = false;
  firmVersion_ = 0;
  firmText_.clear();
  line_.Forget();
  modem_ = options.modem;
  comTimeOut_ = modem_ ? kModemTimeout : kDirectTimeout;
  try {
    return Run(options, ui);
  } catch (const std::exception& error) {
    // An unexpected failure (a full memory, a front end that throws) must not leave the
    // port open behind a button that reads "Start communication".
    port_.Close();
    ui.ErrorMessage(error.what());
    ui.Status(TextId::CommunicationNotStarted);
    return {StartResult::PortError};
  }
}

Started Connection::Run(const ConnectionOptions& options, ConnectionUi& ui) {
  PortSettings settings;
  settings.name = options.port;
  settings.handshake = modem_ ? Handshake::RtsCts : Handshake::None;
  settings.dtr = modem_;
  settings.watchCarrier = modem_;
  // A cancel that came before the port was opened ends the start before it does.
  if (port_.CancelRequested()) return Abandon(ui, StartResult::Cancelled);
  if (!port_.Open(settings)) {
    const PortError failure = port_.Error();
    port_.Close();
    ui.ErrorMessage(PortErrorText(failure));
    ui.Status(TextId::CommunicationNotStarted);
    return {StartResult::PortError};
  }

  DialOutcome dial = DialOutcome::NotDialled;
  if (modem_) {
    if (port_.CancelRequested()) return Abandon(ui, StartResult::Cancelled);
    ui.Status(TextId::Calling);
    dial = DialModem(line_, options.callNumber);
    if (dial != DialOutcome::Connected) {
      ui.Status(DialOutcomeText(dial));
      if (Interrupted()) return Abandon(ui, StartResult::DialFailed);
      port_.Close();
      return {StartResult::DialFailed, dial};
    }
    if (!Login(ui)) {
      if (Interrupted()) return Abandon(ui, StartResult::BadPassword);
      ui.Status(TextId::BadPasswordStatus);
      ui.Message(TextId::BadPassword);
      line_.SendAT("ATH", kHangUpTimeout);
      port_.Close();
      return {StartResult::BadPassword, dial};
    }
  }

  if (port_.CancelRequested()) return Abandon(ui, StartResult::Cancelled);
  ui.Status(TextId::SearchingUnit);
  if (!DetectUnit(line_, comTimeOut_)) {
    if (Interrupted()) return Abandon(ui, StartResult::NotFound);
    ui.Message(TextId::UnitNotFound);
    port_.Close();
    ui.Status(TextId::CommunicationNotStarted);
    return {StartResult::NotFound, dial};
  }

  std::string version = "#0F";
  line_.SendCommand(version, comTimeOut_);
  if (const auto firmware = FirmwareFromAnswer(line_.LastAnswer)) {
    firmText_ = firmware->FirmText;
    firmVersion_ = firmware->FirmVersion;
  }
  std::string datalogger = "#40";
  line_.SendCommand(datalogger, comTimeOut_);
  if (StartsWith(line_.LastAnswer, "#BF")) hasDatalogger_ = true;

  // Both answers are optional, but a port that closed under them, or a cancel, ends the
  // connection.
  if (Interrupted()) return Abandon(ui, StartResult::NotFound);
  ui.Status(TextId::CommunicationStarted);
  return {StartResult::Connected, dial};
}

bool Connection::Login(ConnectionUi& ui) {
  // Only the unit's refusals count as tries.
  for (int refusals = 0; refusals < kLoginTries;) {
    const std::optional<std::string> password = ui.AskPassword();
    // The prompt may have been answered after the user cancelled (closing the window).
    if (port_.CancelRequested() || !password || password->empty()) return false;
    // Only a number text is a password; anything else (a CR above all) would break the
    // framing of the line, so it is refused without being sent, as the prompt refuses it,
    // and the user is simply asked again.
    if (!IsNumberText(*password)) continue;
    std::string command = "#11" + *password;
    line_.SendCommand(command, comTimeOut_);
    if (line_.LastAnswer == "#PassWord=1") return true;
    if (Interrupted()) return false;
    ++refusals;
  }
  return false;
}

Started Connection::Abandon(ConnectionUi& ui, StartResult result) {
  port_.Close();
  const bool carrierLost = port_.TakeCarrierLoss();
  if (port_.CancelRequested()) {
    result = StartResult::Cancelled;  // the user's own act: nothing to tell
  } else if (carrierLost) {
    ui.Message(TextId::ModemConnectionLost);
  } else if (const PortError failure = port_.Error(); !failure.empty()) {
    ui.ErrorMessage(PortErrorText(failure));
  }
  firmText_.clear();
  ui.Status(TextId::CommunicationNotStarted);
  return {result, DialOutcome::NotDialled, carrierLost && result != StartResult::Cancelled};
}

void Connection::Stop(ConnectionUi& ui) {
  if (modem_ && port_.IsOpen() && !port_.CancelRequested()) line_.SendAT("ATH", kHangUpTimeout);
  port_.Close();
  firmText_.clear();
  ui.Status(TextId::CommunicationNotStarted);
}

bool Connection::HandleCarrierLoss(ConnectionUi& ui) {
  if (!port_.TakeCarrierLoss()) return false;
  ui.Message(TextId::ModemConnectionLost);
  Stop(ui);
  return true;
}

bool Connection::WatchCarrier(ConnectionUi& ui) {
  if (!port_.IsOpen()) return false;
  port_.PollCarrier();
  if (HandleCarrierLoss(ui)) return false;
  if (port_.IsOpen()) return true;
  if (const PortError failure = port_.Error(); !failure.empty()) {
    ui.ErrorMessage(PortErrorText(failure));
  }
  Stop(ui);
  return false;
}

}  // namespace zdl
