// The Firmware window: replaces the unit's firmware with an Intel HEX file. It takes the
// port Puerto names (stopping a running connection first), and the upload runs on the
// unit link's worker, so the window stays responsive while the boot loader is awaited
// and the file goes out; its Cancel ends a running upload at once and closes the port.
//
// The window is application-modal: while it is open no connection can start, and the
// port is the upload's alone. Each opening builds it anew, in the current language.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "firmware/firmware_upload.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zdl::ui {

class MainWindow;
class UnitLink;

class FirmwareForm final : public QDialog {
  Q_OBJECT
 public:
  FirmwareForm(MainWindow& main, QWidget* parent);

  // SearchButt_Click and CancelButt_Click.
  void SearchButtClick();
  void CancelButtClick();
  // An upload was handed to the link and has not finished.
  bool Uploading() const { return uploading_; }
  // Esc: as CancelButt.
  void reject() override;

  // The file dialog (replaced by tests): the chosen path, or empty when cancelled.
  std::function<QString()> chooseFile;

 protected:
  // However the window closes (CancelButt, Esc, its close button): a running upload is
  // cancelled and the port closed.
  void closeEvent(QCloseEvent* event) override;

 private:
  void LoadText();
  QString AskFile();
  // While a connection is still being ended: the next step of ending it; then the port is
  // opened, and once it is (or could not be, which is told at once) SearchButt is enabled.
  void Prepare();
  void OnPortOpened(const QString& error);
  // SearchButt enabled; `error`: why the port could not be opened.
  void Ready(const QString& error);
  void OnFinished(const FirmwareResult& result, const QString& portError);

  MainWindow& main_;
  UnitLink& link_;
  bool preparing_ = true;
  bool opening_ = false;
  bool uploading_ = false;
  QLabel* label1_;
  QLineEdit* fileText_;
  QPushButton* searchButt_;
  QLabel* firmLabel_;
  QProgressBar* pBar1_;
  QPushButton* cancelButt_;
};

// Opens the Firmware window of `main`, or brings the open one to the front.
FirmwareForm* OpenFirmwareForm(MainWindow& main);

}  // namespace zdl::ui
