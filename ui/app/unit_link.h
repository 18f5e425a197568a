// The windows' side of every exchange with the unit: a connection start and stop, a read
// and the write phase, each run on one worker thread that owns the port, so the windows
// stay responsive while the program waits for the unit or the modem and no CPU is used.
//
// The worker drives the core (Connection, ReadConfiguration, RunWriteSession); what
// it has to tell or ask reaches the interface thread as queued calls: status, progress
// and trace lines as signals, the password prompt and the message boxes through the
// callbacks below, which the worker waits for without blocking on the interface thread's
// event loop: a cancel or the destruction of the link answers a pending prompt as
// cancelled, so the worker is never left waiting for a window that is gone.
//
// The port is one of two, both driven only by the worker: the real serial port (COM1 to
// COM16 or a device path) or the built-in virtual unit, the simulated unit in this
// process behind the in-process port, which keeps what was written for the link's
// whole lifetime. While a connection is idle a timer on the worker watches the carrier.
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/comparison.h"
#include "firmware/firmware_upload.h"
#include "link/clock.h"
#include "link/connection.h"
#include "model/configuration_record.h"
#include "sim/simulated_unit.h"
#include "transfer/check_pass.h"
#include "transfer/write_config.h"

namespace zdl::ui {

// How the built-in virtual unit behaves.
struct UnitLinkOptions {
  // The virtual unit answers at a real unit's 9600-baud pace.
  bool pacedVirtualUnit = true;
  // How long the virtual unit takes to save a written configuration ("#SAVE_OK").
  Millis virtualSaveTime{1500};
  // Faults the virtual unit injects (tests).
  SimFaults virtualFaults;
  // The configuration the virtual unit starts with; empty: a unit's defaults.
  std::optional<ConfigurationRecord> virtualConfiguration;
  // Faults the virtual unit's boot loader injects (tests).
  BootLoaderFaults virtualBootLoaderFaults;
};

// What a write can do besides writing, each only when asked for.
struct WriteExtras {
  // Set: before anything is written, the unit's configuration is read and saved
  // (atomically) to the file this gives for it; when that read or save fails nothing is
  // written. Called on the worker with what was read: it must not touch any window.
  std::function<QString(const ConfigurationRecord& unit)> backupPath;
  // After "#SAVE_OK" the configuration is read back and compared with what was sent, as
  // the unit keeps it.
  bool verify = false;
};

class UnitLink final : public QObject {
  Q_OBJECT
 public:
  using Options = UnitLinkOptions;

  explicit UnitLink(Options options = {}, QObject* parent = nullptr);
  // Cancels the running exchange, answers a pending prompt as cancelled, closes the port
  // on the worker (without hanging up first: closing drops DTR) and joins the worker.
  // Never waits for the interface thread, so it cannot hang.
  ~UnitLink() override;
  UnitLink(const UnitLink&) = delete;
  UnitLink& operator=(const UnitLink&) = delete;

  // The Puerto entry of the built-in virtual unit, the same in both languages.
  static QString VirtualUnitName();
  // The virtual unit's password (shown in its tooltip).
  static std::string VirtualUnitPassword();
  // The serial ports the system reports, for Puerto after COM1 to COM16: the name to
  // connect with (the device path) and the text to show (the path and its description).
  // The devices COM1 to COM16 already name are left out.
  static QList<QPair<QString, QString>> SystemPorts();

  // An exchange (start, stop, read, write) was requested and has not finished yet.
  bool Busy() const { return busy_; }
  // The last start succeeded and the connection has not ended since.
  bool Connected() const { return connected_; }
  // What the connection start learnt of the unit.
  UnitFacts Facts() const { return facts_; }

  // Each request is refused (false, nothing done) while Busy(); otherwise it is handed
  // to the worker and its end is signalled.
  // -> Started(result). A start on the virtual unit uses Puerto's VirtualUnitName().
  bool Start(const ConnectionOptions& options);
  // -> Stopped().
  bool Stop();
  // -> ReadFinished(ok, record): the read decodes into a copy of `current`, which comes
  // back unchanged when the read fails.
  bool Read(const ConfigurationRecord& current);
  // The write phase (the check pass and the confirmation are the caller's):
  // -> WriteFinished(ok, incomplete).
  bool Write(const ConfigurationRecord& record);
  // The same write with a backup first and a verify after, as `extras` asks; with
  // neither, exactly the write above. -> BackupSaved(path) or BackupFailed(problem)
  // first when a backup was asked for, then WriteFinished (ok false when the backup
  // failed), then VerifyFinished when a verify was asked for and the write succeeded.
  bool Write(const ConfigurationRecord& record, const WriteExtras& extras);
  // The logical lines ("#00", "#01LDDEF", ..., "#03") the virtual unit received during
  // the last write, its backup and verify included, as it parsed them (set when
  // WriteFinished is signalled).
  const std::vector<std::string>& VirtualUnitLines() const { return virtualLines_; }
  // Reads the unit's configuration into a fresh record that no window shows (to compare
  // it): -> CompareReadFinished(ok, record).
  bool ReadForCompare();
  // Ends the running start, read or write at once as failed: a start closes the port, a
  // read or a write keeps the connection. Nothing happens while no exchange runs.
  void Cancel();
  // Cancel(), unless a write runs whose unit has taken "#01LDDEF" and not yet
  // acknowledged "#03" (a stop would leave it with part of the configuration): then
  // nothing happens, the write goes on and the result is false; the caller asks the user
  // and calls Cancel() to stop it. Race-free with the worker: a write this call cancels
  // never sends "#01LDDEF". True when nothing runs.
  bool CancelUnlessCommitted();
  // A write runs whose unit has taken "#01LDDEF" and not yet acknowledged "#03".
  bool WriteCommitted() const;

  // While on, every byte exchanged is signalled as TraceLine, as the command line's
  // trace writes it. Off, the port is used directly. Takes effect at once.
  void SetTraceEnabled(bool on);

  // The virtual unit's modem loses the call (a demonstration of the carrier watch, and
  // the tests'). Ignored unless connected to the virtual unit through the modem.
  void DropVirtualUnitCarrier();

  // Called on the interface thread while the worker waits for them (set by the windows).
  // The password as typed, or empty when the user cancels. Unset: cancelled.
  std::function<std::optional<std::string>()> askPassword;
  // A message box with the exclamation icon and the text of a string-table offset.
  std::function<void(TextId text)> message;
  // A message box with the exclamation icon and an unexpected error's own description.
  std::function<void(const QString& description)> errorMessage;

 signals:
  void Status(TextId offset);                  // ProgStat
  void Progress(int value, int maximum);    // PBar: a read 0 to 176, a write 0 to 21
  void Started(zdl::StartResult result);
  // After Stop, and when the connection ended by itself: carrier lost while idle
  // (ModemConnectionLost first) or after a failed read or write, or the device went away.
  void Stopped();
  void ReadFinished(bool ok, const zdl::ConfigurationRecord& record);
  // `incomplete`: stopped on request after the unit took "#01LDDEF" and before it
  // acknowledged "#03"; it holds part of the configuration until it is written again.
  void WriteFinished(bool ok, bool incomplete);
  void TraceLine(const QString& line);
  void CompareReadFinished(bool ok, const zdl::ConfigurationRecord& record);
  // The backup before a write: saved in `path`; or not made: `problem` is empty when the
  // unit's configuration could not be read, otherwise why the save failed.
  void BackupSaved(const QString& path);
  void BackupFailed(const QString& problem);
  // The verify after a write: `ok` false when the read-back failed; otherwise what the
  // unit does not keep of what was sent (empty: verified), and what it gave back.
  void VerifyFinished(bool ok, const std::vector<zdl::FieldDifference>& differences,
                      const zdl::ConfigurationRecord& readBack);

  // --- The firmware upload (the Firmware window) ---
 public:
  // Sends `image` to the boot loader of the unit on `port` (a Puerto name: COM1 to COM16,
  // a device path or VirtualUnitName()). The port is opened as a direct line, 9600,N,8,1,
  // unless an earlier upload left it open, and stays open afterwards for the next upload
  // until ClosePort(). The wait for "*" has no limit; the virtual unit is switched off and
  // on into its boot loader each time the upload waits for it, as the user does with a
  // real unit. Refused while Busy() or Connected(); Cancel() ends it at once as Cancelled.
  // -> UploadStatus, UploadProgress, then UploadFinished.
  bool Upload(const QString& port, std::string image);
  // Opens the port an upload will use, as Upload opens it, and leaves it open for it (the
  // Firmware window opens it when it opens, so a busy port is reported at once). Refused
  // while Busy() or Connected(). -> PortForUploadOpened.
  bool OpenPortForUpload(const QString& port);
  // Closes the port an upload left open, once the running upload (if any) has ended; the
  // virtual unit is switched on again into its firmware. Never refused, signals nothing;
  // a connection's port is left alone.
  void ClosePort();
  // What the virtual unit's boot loader received in the last upload to it, byte for byte
  // (set when UploadFinished is signalled).
  const std::string& VirtualUnitFirmware() const { return virtualFirmware_; }

 signals:
  void UploadStatus(TextId offset);                   // FirmLabel
  void UploadProgress(qint64 sent, qint64 total);  // PBar1, in bytes
  // `portError`: why the port could not be opened, or why it closed under the upload (the
  // outcome is then PortClosed); empty otherwise.
  void UploadFinished(const zdl::FirmwareResult& result, const QString& portError);
  // `error`: why the port could not be opened; empty when it is open.
  void PortForUploadOpened(const QString& error);

 private:
  class Worker;
  class Prompts;
  friend class Worker;

  // Hands `job` to the worker after clearing the cancel of the ports (on this thread, so
  // a Cancel() right after is never lost).
  bool Submit(std::function<void(Worker&)> job);
  // The worker's ways back to this thread (queued; dropped once the link is gone).
  void Post(std::function<void(UnitLink&)> call);

  QThread thread_;
  std::shared_ptr<Prompts> prompts_;
  std::unique_ptr<Worker> worker_;
  bool busy_ = false;
  bool connected_ = false;
  UnitFacts facts_;
  std::string virtualFirmware_;
  std::vector<std::string> virtualLines_;
};

}  // namespace zdl::ui
