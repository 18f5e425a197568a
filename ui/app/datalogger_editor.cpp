// The data-logger editor: the sample time and the analog inputs whose alarms are
// recorded, the re-arm time and the digital inputs whose changes of state are recorded.
// Always editable; whether the unit has a data logger is the link's business.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <array>
#include <vector>

#include "ui/app/editor_window.h"
#include "ui/app/editors.h"
#include "ui/app/language.h"

namespace zdl::ui {

namespace {

class DataloggerEditor final : public EditorWindow {
 public:
  DataloggerEditor(ConfigurationRecord& record, QWidget* parent)
      : EditorWindow(EditorId::Datalogger, record, parent) {
    setObjectName(QStringLiteral("Datalogger"));
    std::vector<QWidget*> order;

    histor_ = Frame(QStringLiteral("HistorFrame"));
    logTime_ = BindText(record_.DataLogger.LOG_TIME);
    label1_ = Label(QStringLiteral("Label1"), logTime_);
    label2_ = Label(QStringLiteral("Label2"));
    order.push_back(logTime_);
    auto* hist = new QGridLayout(histor_);
    hist->addWidget(label1_, 0, 0);
    hist->addWidget(logTime_, 0, 1);
    hist->addWidget(label2_, 1, 0, 1, 2);
    auto* analog = new QHBoxLayout;
    for (std::size_t j = 0; j < regA_.size(); ++j) {
      regA_[j] = BindCheck(record_.DataLogger.REG_A[j]);
      analog->addWidget(regA_[j]);
      order.push_back(regA_[j]);
    }
    analog->addStretch(1);
    hist->addLayout(analog, 2, 0, 1, 3);
    hist->setColumnStretch(2, 1);

    digital_ = Frame(QStringLiteral("DigitalFrame"));
    reArmTime_ = BindText(record_.DataLogger.DIGITAL_REARM);
    label3_ = Label(QStringLiteral("Label3"), reArmTime_);
    label4_ = Label(QStringLiteral("Label4"));
    order.push_back(reArmTime_);
    auto* dig = new QGridLayout(digital_);
    dig->addWidget(label3_, 0, 0);
    dig->addWidget(reArmTime_, 0, 1);
    dig->addWidget(label4_, 1, 0, 1, 2);
    auto* inputs = new QHBoxLayout;
    for (std::size_t i = 0; i < regD_.size(); ++i) {
      regD_[i] = BindCheck(record_.DataLogger.REG_D[i]);
      regD_[i]->setText(QStringLiteral("D") + QString::number(i));
      inputs->addWidget(regD_[i]);
      order.push_back(regD_[i]);
    }
    inputs->addStretch(1);
    dig->addLayout(inputs, 2, 0, 1, 3);
    dig->setColumnStretch(2, 1);

    auto* column = new QVBoxLayout(this);
    column->addWidget(histor_);
    column->addWidget(digital_);
    column->addStretch(1);
    ChainTabOrder(order);
  }

  void LoadText() override {
    setWindowTitle(T(TextId::DataloggerTab));
    histor_->setTitle(T(TextId::DataloggerParameters));
    label1_->setText(T(TextId::SampleTimeSeconds));
    logTime_->setAccessibleName(T(TextId::SampleTimeSeconds));
    label2_->setText(T(TextId::RecordChannelWarnings));
    for (std::size_t j = 0; j < regA_.size(); ++j) {
      regA_[j]->setText(T(TextId::AnalogInputShortPrefix, static_cast<int>(j)));
      regA_[j]->setAccessibleName(regA_[j]->text());
      regA_[j]->setAccessibleDescription(T(TextId::RecordChannelWarnings));
    }
    digital_->setTitle(T(TextId::DigitalInputs));
    label3_->setText(T(TextId::RearmTimeSeconds));
    reArmTime_->setAccessibleName(T(TextId::RearmTimeSeconds));
    label4_->setText(T(TextId::RecordDigitalInputChanges));
    for (QCheckBox* box : regD_) {
      box->setAccessibleName(box->text());
      box->setAccessibleDescription(T(TextId::RecordDigitalInputChanges));
    }
  }

 private:
  QGroupBox* histor_;
  QLabel* label1_;
  QLineEdit* logTime_;
  QLabel* label2_;
  std::array<QCheckBox*, kAnalogInputs> regA_{};
  QGroupBox* digital_;
  QLabel* label3_;
  QLineEdit* reArmTime_;
  QLabel* label4_;
  std::array<QCheckBox*, kDigitalInputs> regD_{};
};

}  // namespace

EditorWindow* NewDataloggerEditor(ConfigurationRecord& record, QWidget* parent) {
  auto* editor = new DataloggerEditor(record, parent);
  editor->LoadText();
  editor->Refresh();
  return editor;
}

}  // namespace zdl::ui
