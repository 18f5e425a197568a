// The alarm inputs editors: Alarmas (digital inputs 0-3, analog inputs 0-1) and Alarmas2
// (digital inputs 4-7, analog inputs 2-3), one design built twice with an input offset.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <utility>
#include <vector>

#include "ui/app/editor_window.h"
#include "ui/app/editors.h"
#include "ui/app/language.h"

namespace zdl::ui {

namespace {

constexpr int kDigitalPerWindow = 4;
constexpr int kAnalogPerWindow = 2;

// The items of a macro list of `count` entries: "No" (the language's word), then the
// macro numbers 1 on.
QStringList MacroChoices(int count) {
  QStringList items{T(TextId::No)};
  for (int k = 1; k < count; ++k) items << QString::number(k);
  return items;
}

QString Name(std::string_view control) {
  return QString::fromLatin1(control.data(), static_cast<qsizetype>(control.size()));
}

class AlarmEditor final : public EditorWindow {
 public:
  AlarmEditor(EditorId id, ConfigurationRecord& record, QWidget* parent)
      : EditorWindow(id, record, parent),
        firstDigital_(id == EditorId::Alarmas ? 0 : 4),
        firstAnalog_(id == EditorId::Alarmas ? 0 : 2) {
    setObjectName(id == EditorId::Alarmas ? QStringLiteral("Alarmas") : QStringLiteral("Alarmas2"));
    std::vector<QWidget*> order;
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < kDigitalPerWindow; ++i) {
      grid->addWidget(BuildDigital(i, order), 0, i);
      grid->setColumnStretch(i, 1);
    }
    for (int j = 0; j < kAnalogPerWindow; ++j) {
      grid->addWidget(BuildAnalog(j, order), 1, 2 * j, 1, 2);
    }
    grid->setRowStretch(2, 1);
    ChainTabOrder(order);
  }

  void LoadText() override {
    setWindowTitle(T(Id() == EditorId::Alarmas ? TextId::Alarms1Tab : TextId::Alarms2Tab));
    const QStringList modes{T(TextId::Disabled), T(TextId::NormallyOpen), T(TextId::NormallyClosed), T(TextId::Bistable)};
    const QStringList macros = MacroChoices(digital_[0].macroTrue->count());
    for (int i = 0; i < kDigitalPerWindow; ++i) {
      const int input = firstDigital_ + i;
      DigitalControls& d = digital_[static_cast<std::size_t>(i)];
      d.frame->setTitle(T(TextId::DigitalInputPrefix, input));
      SetItems(d.modo, modes);
      Describe(d.modo, T(TextId::AlarmActivationMode));
      Describe(d.text, T(TextId::TextForAlarmPrefix, input));
      d.ring->setText(QStringLiteral("Ring"));
      Describe(d.ring, T(TextId::NotifyByVoiceCall), d.ring->text());
      d.renv->setText(T(TextId::RetryShort));
      Describe(d.renv, T(TextId::RetryAlarm), T(TextId::RetryShort));
      d.persist->setText(T(TextId::PersistLabel));
      Describe(d.persist, T(TextId::EnablePersistence), T(TextId::PersistLabel));
      Describe(d.pval, T(TextId::PersistenceSeconds));
      d.ciclos->setText(T(TextId::CyclesLabel));
      Describe(d.ciclos, T(TextId::EnableCounter), T(TextId::CyclesLabel));
      Describe(d.cval, T(TextId::NumberOfCycles));
      d.resetLab->setText(T(TextId::ResetLabel));
      Describe(d.rst, T(TextId::CounterResetSeconds), T(TextId::ResetLabel));
      d.macroSiLab->setText(T(TextId::MacroIfTrueLabel));
      d.macroNoLab->setText(T(TextId::MacroIfFalseLabel));
      SetItems(d.macroTrue, macros);
      SetItems(d.macroFalse, macros);
      Describe(d.macroTrue, T(TextId::MacroOnAlarmActive), T(TextId::MacroIfTrueLabel));
      Describe(d.macroFalse, T(TextId::MacroOnAlarmRemoved), T(TextId::MacroIfFalseLabel));
    }
    for (int j = 0; j < kAnalogPerWindow; ++j) {
      const int input = firstAnalog_ + j;
      AnalogControls& a = analog_[static_cast<std::size_t>(j)];
      a.frame->setTitle(T(TextId::AnalogInputPrefix, input));
      a.habil->setText(T(TextId::EnableShort));
      Describe(a.habil, T(TextId::EnableAnalogInputPrefix, input), T(TextId::EnableAnalogInputPrefix, input));
      Describe(a.text, T(TextId::TextForAnalogAlarmPrefix, input));
      a.ring->setText(QStringLiteral("Ring"));
      Describe(a.ring, T(TextId::NotifyByVoiceCall), a.ring->text());
      a.renv->setText(T(TextId::RetryShort));
      Describe(a.renv, T(TextId::RetryAlarm), T(TextId::RetryShort));
      // Scale boxes: IE, FE, UN, Min, Max, Hist with their labels.
      static constexpr std::array<std::pair<TextId, TextId>, 6> kScale{
          {{TextId::BeginScaleLabel, TextId::BeginningOfScale}, {TextId::FullScaleLabel, TextId::FullScale}, {TextId::UnitLabel, TextId::MeasurementUnit},
           {TextId::MinLabel, TextId::MinValue}, {TextId::MaxLabel, TextId::MaxValue}, {TextId::HysteresisLabel, TextId::Hysteresis}}};
      for (std::size_t s = 0; s < kScale.size(); ++s) {
        a.scaleLab[s]->setText(T(kScale[s].first));
        Describe(a.scale[s], T(kScale[s].second), T(kScale[s].second));
      }
      a.persist->setText(T(TextId::PersistLabel));
      Describe(a.persist, T(TextId::EnablePersistence), T(TextId::PersistLabel));
      Describe(a.pval, T(TextId::PersistenceSeconds));
      static constexpr std::array<std::pair<TextId, TextId>, 3> kMacro{
          {{TextId::MacroIfHighLabel, TextId::MacroOnOverrange}, {TextId::MacroIfNominalLabel, TextId::MacroOnNominal}, {TextId::MacroIfLowLabel, TextId::MacroOnUnderrange}}};
      for (std::size_t m = 0; m < kMacro.size(); ++m) {
        a.macroLab[m]->setText(T(kMacro[m].first));
        SetItems(a.macro[m], macros);
        Describe(a.macro[m], T(kMacro[m].second), T(kMacro[m].first));
      }
    }
  }

 protected:
  // The digital rule (the mode enables the input, PVal included, whatever Persist says),
  // the counter rule inside it (Ciclos enables CVal and the reset time), and the analog
  // rule (HabilA enables everything else of its frame). Nothing is cleared.
  void ApplyRules() override {
    for (int i = 0; i < kDigitalPerWindow; ++i) {
      const int input = firstDigital_ + i;
      const DigitalControls& d = digital_[static_cast<std::size_t>(i)];
      const bool enabled = record_.DigitalHabil(input);
      for (QWidget* w : {static_cast<QWidget*>(d.ring), static_cast<QWidget*>(d.text),
                         static_cast<QWidget*>(d.renv), static_cast<QWidget*>(d.persist),
                         static_cast<QWidget*>(d.pval), static_cast<QWidget*>(d.ciclos),
                         static_cast<QWidget*>(d.macroSiLab), static_cast<QWidget*>(d.macroNoLab),
                         static_cast<QWidget*>(d.macroTrue), static_cast<QWidget*>(d.macroFalse)}) {
        w->setEnabled(enabled);
      }
      const bool counter = enabled && record_.Digital[static_cast<std::size_t>(input)].CICLOS;
      d.cval->setEnabled(counter);
      d.rst->setEnabled(counter);
      d.resetLab->setEnabled(counter);
    }
    for (int j = 0; j < kAnalogPerWindow; ++j) {
      const int input = firstAnalog_ + j;
      const AnalogControls& a = analog_[static_cast<std::size_t>(j)];
      const bool enabled = record_.Analog[static_cast<std::size_t>(input)].HABIL;
      for (QWidget* w : a.ruled) w->setEnabled(enabled);
    }
  }

 private:
  struct DigitalControls {
    QGroupBox* frame;
    QComboBox* modo;
    QLineEdit* text;
    QCheckBox* ring;
    QCheckBox* renv;
    QCheckBox* persist;
    QLineEdit* pval;
    QCheckBox* ciclos;
    QLineEdit* cval;
    QLabel* resetLab;
    QLineEdit* rst;
    QLabel* macroSiLab;
    QComboBox* macroTrue;
    QLabel* macroNoLab;
    QComboBox* macroFalse;
  };
  struct AnalogControls {
    QGroupBox* frame;
    QCheckBox* habil;
    QLineEdit* text;
    QCheckBox* ring;
    QCheckBox* renv;
    std::array<QLabel*, 6> scaleLab;  // IELab FELab UNLab MinLab MaxLab HistLab
    std::array<QLineEdit*, 6> scale;  // IE FE UN Min Max Hist
    QCheckBox* persist;
    QLineEdit* pval;
    std::array<QLabel*, 3> macroLab;  // MacroHighLab MacroNominalLab MacroLowLab
    std::array<QComboBox*, 3> macro;  // MacroExeHigh MacroExeNominal MacroExeLow
    std::vector<QWidget*> ruled;      // everything HabilA enables
  };

  // Modo, Ring and Retry; the text; Persist, Cycles and their values; the reset time
  // under Cycles; the two macro lists.
  QGroupBox* BuildDigital(int i, std::vector<QWidget*>& order) {
    const DigitalInput& in = record_.Digital[static_cast<std::size_t>(firstDigital_ + i)];
    const QString n = QString::number(i);
    DigitalControls& d = digital_[static_cast<std::size_t>(i)];
    d.frame = Frame(QStringLiteral("DigitalFrame_") + n);
    d.modo = BindList(in.Modo);
    d.ring = BindCheck(in.RING);
    d.renv = BindCheck(in.RENV);
    d.text = BindText(in.TEXT);
    d.persist = BindCheck(in.PERSIST);
    d.pval = BindText(in.PVAL);
    d.ciclos = BindCheck(in.CICLOS);
    d.cval = BindText(in.CVAL);
    d.rst = BindText(in.RST);
    d.resetLab = Label(QStringLiteral("ResetLab_") + n, d.rst);
    d.macroTrue = BindList(in.MACRO_TRUE);
    d.macroSiLab = Label(QStringLiteral("MacroSiLab_") + n, d.macroTrue);
    d.macroFalse = BindList(in.MACRO_FALSE);
    d.macroNoLab = Label(QStringLiteral("MacroNoLab_") + n, d.macroFalse);
    FitDigits(d.pval, 5);
    FitDigits(d.cval, 5);
    FitDigits(d.rst, 5);

    auto* grid = new QGridLayout(d.frame);
    grid->addWidget(d.modo, 0, 0, 1, 2);
    grid->addWidget(d.ring, 0, 2);
    grid->addWidget(d.renv, 0, 3);
    grid->addWidget(d.text, 1, 0, 1, 4);
    grid->addWidget(d.persist, 2, 0);
    grid->addWidget(d.pval, 2, 1);
    grid->addWidget(d.ciclos, 2, 2);
    grid->addWidget(d.cval, 2, 3);
    grid->addWidget(d.resetLab, 3, 2, Qt::AlignRight);
    grid->addWidget(d.rst, 3, 3);
    grid->addWidget(d.macroSiLab, 4, 0, 1, 2);
    grid->addWidget(d.macroTrue, 4, 2, 1, 2);
    grid->addWidget(d.macroNoLab, 5, 0, 1, 2);
    grid->addWidget(d.macroFalse, 5, 2, 1, 2);
    grid->setRowStretch(6, 1);
    order.insert(order.end(), {d.modo, d.ring, d.renv, d.text, d.persist, d.pval, d.ciclos, d.cval, d.rst,
                               d.macroTrue, d.macroFalse});
    return d.frame;
  }

  // Enab., the text, Ring and Retry; the scale in two rows of three; persistence; the
  // three macro lists side by side.
  QGroupBox* BuildAnalog(int j, std::vector<QWidget*>& order) {
    static constexpr std::array<Text AnalogInput::*, 6> kScale{&AnalogInput::IE,  &AnalogInput::FE,
                                                               &AnalogInput::UN,  &AnalogInput::MIN,
                                                               &AnalogInput::MAX, &AnalogInput::HIST};
    static constexpr std::array<int AnalogInput::*, 3> kMacro{&AnalogInput::MACRO_HIGH, &AnalogInput::MACRO_NOM,
                                                              &AnalogInput::MACRO_LOW};
    static constexpr std::array<const char*, 3> kMacroLab{"MacroHighLab", "MacroNominalLab", "MacroLowLab"};
    const AnalogInput& in = record_.Analog[static_cast<std::size_t>(firstAnalog_ + j)];
    const QString n = QString::number(j);
    AnalogControls& a = analog_[static_cast<std::size_t>(j)];
    a.frame = Frame(QStringLiteral("AnalogFrame_") + n);
    a.habil = BindCheck(in.HABIL);
    a.text = BindText(in.TEXT);
    a.ring = BindCheck(in.RING);
    a.renv = BindCheck(in.RENV);
    order.insert(order.end(), {a.habil, a.text, a.ring, a.renv});

    auto* grid = new QGridLayout(a.frame);
    grid->addWidget(a.habil, 0, 0);
    grid->addWidget(a.text, 0, 1, 1, 3);
    grid->addWidget(a.ring, 0, 4);
    grid->addWidget(a.renv, 0, 5);
    for (std::size_t s = 0; s < kScale.size(); ++s) {
      const Text& value = in.*kScale[s];
      a.scale[s] = BindText(value);
      a.scaleLab[s] = Label(Name(RowOf(value).control) + QStringLiteral("Lab_") + n, a.scale[s]);
      FitDigits(a.scale[s], 6);
      const int row = 1 + static_cast<int>(s) / 3;
      const int column = 2 * (static_cast<int>(s) % 3);
      grid->addWidget(a.scaleLab[s], row, column);
      grid->addWidget(a.scale[s], row, column + 1);
      order.push_back(a.scale[s]);
    }
    a.persist = BindCheck(in.PERSIST);
    a.pval = BindText(in.PVAL);
    FitDigits(a.pval, 5);
    grid->addWidget(a.persist, 3, 0);
    grid->addWidget(a.pval, 3, 1);
    order.insert(order.end(), {a.persist, a.pval});
    for (std::size_t m = 0; m < kMacro.size(); ++m) {
      a.macro[m] = BindList(in.*kMacro[m]);
      a.macroLab[m] = Label(QString::fromLatin1(kMacroLab[m]) + QStringLiteral("_") + n, a.macro[m]);
      grid->addWidget(a.macroLab[m], 4, 2 * static_cast<int>(m));
      grid->addWidget(a.macro[m], 4, 2 * static_cast<int>(m) + 1);
      order.push_back(a.macro[m]);
    }
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(5, 1);

    a.ruled = {a.text, a.ring, a.renv, a.persist, a.pval};
    for (std::size_t s = 0; s < kScale.size(); ++s) a.ruled.insert(a.ruled.end(), {a.scaleLab[s], a.scale[s]});
    for (std::size_t m = 0; m < kMacro.size(); ++m) a.ruled.insert(a.ruled.end(), {a.macroLab[m], a.macro[m]});
    return a.frame;
  }

  const int firstDigital_;
  const int firstAnalog_;
  std::array<DigitalControls, kDigitalPerWindow> digital_{};
  std::array<AnalogControls, kAnalogPerWindow> analog_{};
};

}  // namespace

EditorWindow* NewAlarmEditor(EditorId id, ConfigurationRecord& record, QWidget* parent) {
  auto* editor = new AlarmEditor(id, record, parent);
  editor->LoadText();
  editor->Refresh();
  return editor;
}

}  // namespace zdl::ui
