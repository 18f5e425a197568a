// The commands that talk to a unit: read, write (with its backup and verify) and diff
// against the unit.
#include <iostream>
#include <memory>
#include <optional>
#include <utility>

#include "cli/cli.h"
#include "cli/common.h"
#include "cli/compare_commands.h"
#include "cli/terminal.h"
#include "configfile/config_file.h"
#include "link/connection.h"
#include "link/qt/qt_serial_port.h"
#include "link/trace_port.h"
#include "transfer/check_pass.h"
#include "transfer/read_config.h"
#include "transfer/write_session.h"
#include "text/extra_texts.h"

namespace zdl::cli {

namespace {

struct UnitOptions {
  ConnectionOptions connection;
  std::optional<std::string> password;
  std::optional<std::string> trace;
  std::string file;
};

// Takes --port, --modem, --password, --trace and one file. Returns a usage status or -1.
int TakeUnitOptions(Args& args, const char* command, UnitOptions& out) {
  std::optional<std::string> port = args.Option("--port");
  std::optional<std::string> modem = args.Option("--modem");
  out.password = PasswordToOffer(args.Option("--password"));
  out.trace = args.Option("--trace");
  std::vector<std::string> files = args.Positionals();
  if (!args.Error().empty()) return UsageError(args.Error());
  if (!port || port->empty()) return UsageError(std::string(command) + " needs --port PORT");
  if (files.size() != 1) return UsageError(std::string(command) + " takes one file");
  out.connection.port = *port;
  out.connection.modem = modem.has_value();
  out.connection.callNumber = modem.value_or("");
  out.file = files[0];
  return -1;
}

// One connected session: the real port (optionally traced), the connection, Ctrl-C.
// Made once the arguments have been checked: it opens the trace.
class Session {
 public:
  Session(const UnitOptions& options, const Context& ctx)
      : interrupt_([this] {
          // Before "#01LDDEF" the write gives up without sending it; after it the stop
          // leaves the unit with part of the configuration, which the write reports.
          commit_.CancelUnlessCommitted();
          port_.RequestCancel();
        }),
        ui_(ctx, options.password, interrupt_.WakeFd()) {
    if (options.trace) {
      if (OpenTrace(*options.trace, traceFile_, ctx)) {
        tracing_ = std::make_unique<TracingPort>(port_, clock_, traceFile_.Stream());
      } else {
        traceFailed_ = true;
      }
    }
    connection_ = std::make_unique<Connection>(Port(), clock_);
  }

  ~Session() {
    if (connection_->IsOpen()) connection_->Stop(ui_);
  }

  BytePort& Port() { return tracing_ ? static_cast<BytePort&>(*tracing_) : port_; }
  // The trace could not be opened (its message has been printed).
  bool TraceFailed() const { return traceFailed_; }
  Connection& Link() { return *connection_; }
  TerminalConnectionUi& Ui() { return ui_; }
  bool Interrupted() const { return interrupt_.Interrupted(); }
  int InterruptFd() const { return interrupt_.WakeFd(); }
  WriteCommit& Commit() { return commit_; }

  // After a failed exchange: a carrier drop ends the connection with its message.
  void AfterFailure() { connection_->HandleCarrierLoss(ui_); }

 private:
  SteadyClock clock_;
  QtSerialPort port_{clock_};
  LogFile traceFile_;
  std::unique_ptr<TracingPort> tracing_;
  bool traceFailed_ = false;
  std::unique_ptr<Connection> connection_;
  WriteCommit commit_;
  InterruptWatch interrupt_;
  TerminalConnectionUi ui_;
};

bool Connect(Session& session, const UnitOptions& options, const Context& ctx) {
  const Started started = session.Link().Start(options.connection, session.Ui());
  if (started.result == StartResult::Connected) return true;
  session.Ui().ReportFailureReason(started);
  if (!session.Ui().Problem().empty()) {
    std::cerr << "zdl410: " << session.Ui().Problem() << '\n';
  } else if (session.Interrupted()) {
    std::cerr << "zdl410: interrupted\n";
  }
  (void)ctx;
  return false;
}

void ReportTransferFailure(Session& session, const Context& ctx) {
  session.AfterFailure();
  if (session.Interrupted()) std::cerr << "zdl410: interrupted\n";
  std::cerr << ctx.Text(TextId::CommunicationErrorCheckConnections) << '\n';
  std::cout << ctx.Text(TextId::CommunicationError) << '\n';
}

// Ctrl-C after "#01LDDEF": the unit runs part of a configuration until it is written again.
void ReportIncompleteWrite(Session& session, const Context& ctx) {
  session.AfterFailure();
  std::cerr << "zdl410: interrupted\n" << ExtraTextIn(ctx.lang, ExtraText::WriteStoppedMessage) << '\n';
  std::cout << ExtraTextIn(ctx.lang, ExtraText::WriteStoppedStatus) << '\n';
}

// False, after a usage message, when `backup` cannot be a backup for a write of `input`
// (empty, or the very file being written).
bool BackupPathUsable(const std::string& backup, const std::string& input, const Context& ctx) {
  if (backup.empty()) {
    UsageError("--backup needs a file");
    return false;
  }
  if (SameFile(backup, input)) {
    UsageError(std::string(ExtraTextIn(ctx.lang, ExtraText::BackupIsInput)));
    return false;
  }
  return true;
}

// The terminal side of a write session: a progress line of its own for each read and
// for the write, the backup's and the write's success told as each ends.
class WriteSteps final : public WriteSessionSink {
 public:
  WriteSteps(const Context& ctx, std::string backup) : ctx_(ctx), backup_(std::move(backup)) {}

  void StepBegins(WriteStep step) override {
    if (step == WriteStep::Backup) {
      std::cerr << ExtraTextIn(ctx_.lang, ExtraText::ReadingBackup) << '\n';
    } else if (step == WriteStep::Verify) {
      std::cerr << ExtraTextIn(ctx_.lang, ExtraText::ReadingBack) << '\n';
    }
    progress_.emplace(ctx_);
  }
  void StepEnded(WriteStep step, bool ok, const WriteSessionResult&) override {
    progress_.reset();
    if (!ok) return;
    if (step == WriteStep::Backup) {
      std::cout << ExtraTextWith(ctx_.lang, ExtraText::BackupSaved, backup_) << '\n';
    } else if (step == WriteStep::Write) {
      std::cout << ctx_.Text(TextId::ConfigurationWritten) << '\n';
    }
  }
  void Status(TextId offset) override { progress_->Status(offset); }
  void Range(int maximum) override { progress_->Range(maximum); }
  void Value(int value) override { progress_->Value(value); }

 private:
  const Context& ctx_;
  std::string backup_;
  std::optional<TerminalProgress> progress_;
};

}  // namespace

int Read(Args& args, const Context& ctx) {
  UnitOptions options;
  if (int usage = TakeUnitOptions(args, "read", options); usage >= 0) return usage;
  if (!TracePathUsable(options.trace, {{options.file, ExtraText::TheOutputFile}}, ctx)) {
    return kUsage;
  }
  Session session(options, ctx);
  if (session.TraceFailed()) return kFailure;
  if (!Connect(session, options, ctx)) return kFailure;

  ConfigurationRecord record;
  bool read = false;
  {
    TerminalProgress progress(ctx);
    read = ReadConfiguration(session.Link().Line(), session.Link().ComTimeOut(),
                             session.Link().HasDatalogger(), record, progress);
  }
  if (!read) {
    ReportTransferFailure(session, ctx);
    return kFailure;
  }
  session.Link().Stop(session.Ui());
  SaveOutcome saved = SaveConfigFile(options.file, record);
  if (!saved.ok) {
    std::cerr << ctx.Text(TextId::ErrorTitle) << ": " << saved.description.In(ctx.lang) << '\n';
    return kFailure;
  }
  std::cout << ctx.Text(TextId::ConfigurationRead) << '\n';
  return kSuccess;
}

int Write(Args& args, const Context& ctx) {
  bool yes = args.Flag("--yes");
  std::optional<std::string> backup = args.Option("--backup");
  bool verify = args.Flag("--verify");
  UnitOptions options;
  if (int usage = TakeUnitOptions(args, "write", options); usage >= 0) return usage;
  if (backup && !BackupPathUsable(*backup, options.file, ctx)) return kUsage;
  if (!TracePathUsable(options.trace, {{options.file, ExtraText::TheInputFile}}, ctx) ||
      (backup && !TracePathUsable(options.trace, {{*backup, ExtraText::TheBackupFile}}, ctx))) {
    return kUsage;
  }
  ConfigurationRecord record;
  if (!LoadForCommand(options.file, record, ctx)) return kFailure;

  Session session(options, ctx);
  if (session.TraceFailed()) return kFailure;
  if (!Connect(session, options, ctx)) return kFailure;

  UnitFacts unit{session.Link().HasDatalogger(), session.Link().FirmVersion(),
                 session.Link().FirmText()};
  CheckResult checked = CheckForWrite(record, unit);
  if (checked.kind == CheckResult::Failed) {
    ReportCheck(checked, unit, ctx, std::cerr);
    return kFailure;
  }
  if (checked.kind == CheckResult::NeedsConfirmation && !yes) {
    std::optional<std::string> answer =
        AskTerminal(TerminalLines(ConfirmationQuestion(ctx.lang)) +
                        std::string(ExtraTextIn(ctx.lang, ExtraText::YesNoPrompt)),
                    true, session.InterruptFd());
    if (!answer) {
      std::cerr << (session.Interrupted() ? "zdl410: interrupted\n"
                                          : "zdl410: no terminal to confirm on: give --yes\n");
      return kFailure;
    }
    bool confirmed = !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y' ||
                                          answer->front() == 's' || answer->front() == 'S');
    if (!confirmed) return kFailure;
  }

  WriteSessionOptions extras;
  if (backup) extras.backupPath = [&backup](const ConfigurationRecord&) { return *backup; };
  extras.verify = verify;
  WriteSteps steps(ctx, backup.value_or(""));
  const WriteSessionResult result =
      RunWriteSession(session.Link().Line(), session.Link().ComTimeOut(),
                      session.Link().HasDatalogger(), record, extras, steps, session.Commit());
  using Outcome = WriteSessionResult::Outcome;
  switch (result.outcome) {
    case Outcome::BackupReadFailed:
      std::cerr << ExtraTextIn(ctx.lang, ExtraText::BackupReadFailed) << '\n';
      session.AfterFailure();
      return kFailure;
    case Outcome::BackupSaveFailed:
      std::cerr << ExtraTextWith(ctx.lang, ExtraText::BackupSaveFailed,
                                   result.saveProblem.In(ctx.lang))
                << '\n';
      session.AfterFailure();
      return kFailure;
    case Outcome::Incomplete:
      ReportIncompleteWrite(session, ctx);
      return kFailure;
    case Outcome::WriteFailed:
      ReportTransferFailure(session, ctx);
      return kFailure;
    case Outcome::Written:
      session.Link().Stop(session.Ui());
      return kSuccess;
    case Outcome::VerifyReadFailed:
      std::cerr << ExtraTextIn(ctx.lang, ExtraText::VerifyReadFailed) << '\n';
      session.AfterFailure();
      return kFailure;
    case Outcome::Verified:
      std::cout << ExtraTextIn(ctx.lang, ExtraText::Verified) << '\n';
      return kSuccess;
    case Outcome::VerifyDiffers:
      std::cout << ExtraTextWith(ctx.lang, ExtraText::VerifyDiffers,
                                   std::to_string(result.differences.size()))
                << '\n';
      PrintDifferences(result.differences, std::cout);
      session.AfterFailure();
      return kFailure;
  }
  return kFailure;
}

int DiffWithUnit(Args& args, const Context& ctx) {
  UnitOptions options;
  if (int usage = TakeUnitOptions(args, "diff", options); usage >= 0) return usage;
  if (!TracePathUsable(options.trace, {{options.file, ExtraText::TheInputFile}}, ctx)) {
    return kUsage;
  }
  ConfigurationRecord file;
  if (!LoadForCommand(options.file, file, ctx)) return kUsage;
  Session session(options, ctx);
  if (session.TraceFailed()) return kUsage;
  if (!Connect(session, options, ctx)) return kUsage;
  ConfigurationRecord unit;
  bool read = false;
  {
    TerminalProgress progress(ctx);
    read = ReadConfiguration(session.Link().Line(), session.Link().ComTimeOut(),
                             session.Link().HasDatalogger(), unit, progress);
  }
  if (!read) {
    session.AfterFailure();
    std::cerr << ExtraTextIn(ctx.lang, ExtraText::UnitReadFailed) << '\n';
    return kUsage;
  }
  const bool hasDatalogger = session.Link().HasDatalogger();
  session.Link().Stop(session.Ui());
  const std::vector<FieldDifference> differences =
      CompareWithUnit(file, unit, {.hasDatalogger = hasDatalogger});
  PrintDifferences(differences, std::cout);
  if (!std::cout.flush()) return kUsage;
  return differences.empty() ? kSuccess : kFailure;
}

}  // namespace zdl::cli
