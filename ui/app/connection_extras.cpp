// The connection panel's additions to a write and a read: "Back up the unit first" and
// "Verify after writing" beside Escribir (off at every start: nothing is stored), and
// the read of the unit into a copy for the comparison window.
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>

#include "model/text_codec.h"
#include "ui/app/connection_panel.h"
#include "ui/app/editor_window.h"
#include "ui/app/language.h"
#include "ui/app/unit_link.h"
#include "text/extra_texts.h"

namespace zdl::ui {

namespace {

constexpr int kNameInFile = 40;


// The unit's name as part of a file name: letters, digits, '-' and '_' kept, every other
// run of characters one '_', at most kNameInFile characters.
QString FileNameSafe(const QString& name) {
  QString safe;
  for (const QChar c : name) {
    if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) {
      safe += c;
    } else if (!safe.endsWith(QLatin1Char('_'))) {
      safe += QLatin1Char('_');
    }
  }
  while (safe.startsWith(QLatin1Char('_'))) safe.remove(0, 1);
  safe.truncate(kNameInFile);
  while (safe.endsWith(QLatin1Char('_'))) safe.chop(1);
  return safe.isEmpty() ? QStringLiteral("ZDL410") : safe;
}

}  // namespace

QString ConnectionPanel::BackupFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString ConnectionPanel::BackupFileName(const ConfigurationRecord& unit, const QDateTime& when) {
  return when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) +
         FileNameSafe(QString::fromStdString(Cp1252ToUtf8(unit.General.NOMBRE))) + QStringLiteral(".ncf");
}

void ConnectionPanel::ConnectExtras() {
  connect(&link_, &UnitLink::BackupSaved, this, [this](const QString& path) { backupSaved_ = path; });
  connect(&link_, &UnitLink::BackupFailed, this, &ConnectionPanel::OnBackupFailed);
  // After OnWritten: where the backup went, once the write is done.
  connect(&link_, &UnitLink::WriteFinished, this, [this](bool ok) {
    if (!ok || !backupSaved_) return;
    ShowStatusText([path = *backupSaved_] { return T(ExtraText::BackupSaved, QDir::toNativeSeparators(path)); });
  });
  connect(&link_, &UnitLink::VerifyFinished, this, &ConnectionPanel::OnVerified);
  connect(&link_, &UnitLink::CompareReadFinished, this, &ConnectionPanel::OnCompareRead);
}

void ConnectionPanel::LoadExtrasText() {
  backUpFirst_->setText(T(ExtraText::BackUpFirst));
  EditorWindow::Describe(backUpFirst_,
                         T(ExtraText::BackUpFirstTip) +
                             QDir::toNativeSeparators(BackupFolder()),
                         T(ExtraText::BackUpFirst));
  verifyAfter_->setText(T(ExtraText::VerifyAfterWriting));
  EditorWindow::Describe(
      verifyAfter_,
      T(ExtraText::VerifyAfterWritingTip),
      T(ExtraText::VerifyAfterWriting));
}

void ConnectionPanel::ShowStatusText(std::function<QString()> text) {
  statusText_ = std::move(text);
  progStat_->setText(statusText_ ? statusText_() : T(status_));
  progStat_->setToolTip(progStat_->text());
}

WriteExtras ConnectionPanel::ExtrasToAsk() {
  backupProblem_.reset();
  backupSaved_.reset();
  WriteExtras extras;
  extras.verify = verifyAfter_->isChecked();
  if (backUpFirst_->isChecked()) {
    const QString folder = BackupFolder();
    // The backups hold the unit's authorised numbers and privileges: the folder and its
    // files are the user's alone (an older, open folder is closed too).
    if (QDir().mkpath(folder)) {
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    extras.backupPath = [folder](const ConfigurationRecord& unit) {
      const QString name = BackupFileName(unit, QDateTime::currentDateTime());
      // Two backups within a second do not overwrite each other.
      QString path = folder + QLatin1Char('/') + name;
      for (int n = 2; QFileInfo::exists(path); ++n) {
        path = folder + QLatin1Char('/') + QFileInfo(name).completeBaseName() + QStringLiteral("-%1.ncf").arg(n);
      }
      return path;
    };
  }
  return extras;
}

void ConnectionPanel::OnBackupFailed(const QString& problem) {
  // The write's end shows it (nothing was written).
  backupProblem_ = problem.isEmpty() ? T(ExtraText::BackupReadFailed) : T(ExtraText::BackupSaveFailed, problem);
}

void ConnectionPanel::OnVerified(bool ok, const std::vector<FieldDifference>& differences,
                               const ConfigurationRecord& readBack) {
  const std::optional<QString> saved = backupSaved_;
  auto withBackup = [saved](QString text) {
    if (!saved) return text;
    return T(ExtraText::BackupSaved, QDir::toNativeSeparators(*saved)) + QLatin1Char(' ') + text;
  };
  if (!ok) {
    ShowStatusText([withBackup] { return withBackup(T(ExtraText::VerifyReadFailed)); });
    if (!cancelled_) Message(T(ExtraText::VerifyReadFailed));
    return;
  }
  if (differences.empty()) {
    ShowStatusText([withBackup] { return withBackup(T(ExtraText::Verified)); });
    return;
  }
  const QString count = QString::number(differences.size());
  ShowStatusText([withBackup, count] {
    QString text = T(ExtraText::VerifyDiffers, count);
    if (text.endsWith(QLatin1Char(':'))) text.chop(1);
    return withBackup(text + QLatin1Char('.'));
  });
  emit ComparisonReady(readBack, CompareSide::Verify, link_.Facts().HasDatalogger);
}

bool ConnectionPanel::CompareWithUnit() {
  if (ExchangeRunning() || !connected_) return false;
  Begin(Job::Read);
  pBar_->setValue(0);
  if (link_.ReadForCompare()) return true;
  End();
  return false;
}

void ConnectionPanel::OnCompareRead(bool ok, const ConfigurationRecord& record) {
  const bool cancelled = cancelled_;
  End();
  if (ok) {
    emit ComparisonReady(record, CompareSide::Unit, link_.Facts().HasDatalogger);
    return;
  }
  if (!cancelled) Message(T(ExtraText::UnitReadFailed));
  status_ = TextId::CommunicationError;
  ShowStatusText({});
  pBar_->setValue(0);
}

}  // namespace zdl::ui
