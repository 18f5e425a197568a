// The timers editor: eight weekly timers, each enabled or not, with its time of day, its
// week days, its validity period and the macro it runs. Values are checked only when
// the configuration is written to the unit.
#include <QCheckBox>
#include <QComboBox>
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

// Four timers a column: 0 to 3 in the first, 4 to 7 in the second.
constexpr int kTimersPerColumn = 4;

class TimersEditor final : public EditorWindow {
 public:
  TimersEditor(ConfigurationRecord& record, QWidget* parent)
      : EditorWindow(EditorId::Temporizadores, record, parent) {
    setObjectName(QStringLiteral("Temporizadores"));
    std::vector<QWidget*> order;
    auto* grid = new QGridLayout(this);
    for (int t = 0; t < kTimers; ++t) {
      TimerControls& c = timers_[static_cast<std::size_t>(t)];
      const QString n = QString::number(t);
      c.frame = Frame(QStringLiteral("TimerFrame_") + n);
      const Timer& timer = record_.Timers[static_cast<std::size_t>(t)];
      c.habil = BindCheck(timer.HABIL);
      c.time = BindText(timer.TIME);
      FitDigits(c.time, 5);
      auto* top = new QHBoxLayout;
      top->addWidget(c.habil);
      top->addWidget(c.time);
      top->addSpacing(12);
      order.insert(order.end(), {c.habil, c.time});
      for (std::size_t d = 0; d < c.days.size(); ++d) {
        c.days[d] = BindCheck(timer.Days[d]);
        top->addWidget(c.days[d]);
        order.push_back(c.days[d]);
      }
      top->addStretch(1);
      c.vp = BindText(timer.VP);
      FitDigits(c.vp, 5);
      c.vpLabel = Label(QStringLiteral("VPLabel_") + n, c.vp);
      c.macro = BindList(timer.MACRO);
      // The macro numbers 1 on, one per item.
      for (int k = 0; k < c.macro->count(); ++k) c.macro->setItemText(k, QString::number(k + 1));
      c.macroLab = Label(QStringLiteral("MacroLab_") + n, c.macro);
      auto* bottom = new QHBoxLayout;
      bottom->addWidget(c.vpLabel);
      bottom->addWidget(c.vp);
      bottom->addSpacing(24);
      bottom->addWidget(c.macroLab);
      bottom->addWidget(c.macro);
      bottom->addStretch(1);
      order.insert(order.end(), {c.vp, c.macro});
      auto* rows = new QVBoxLayout(c.frame);
      rows->addLayout(top);
      rows->addLayout(bottom);
      grid->addWidget(c.frame, t % kTimersPerColumn, t / kTimersPerColumn);
    }
    grid->setRowStretch(kTimersPerColumn, 1);
    ChainTabOrder(order);
  }

  void LoadText() override {
    setWindowTitle(T(TextId::TimersTitle));
    for (int t = 0; t < kTimers; ++t) {
      TimerControls& c = timers_[static_cast<std::size_t>(t)];
      c.frame->setTitle(T(Nth(TextId::Timer0, t)));
      c.habil->setText(T(TextId::EnableShort));
      Describe(c.habil, T(TextId::EnableTimer), T(TextId::EnableShort));
      Describe(c.time, T(TextId::ExecutionTime));
      for (std::size_t d = 0; d < c.days.size(); ++d) {
        c.days[d]->setText(T(Nth(TextId::Monday, static_cast<int>(d))));
        Describe(c.days[d], T(TextId::SelectWeekDays), c.days[d]->text());
      }
      c.vpLabel->setText(T(TextId::ValidPeriod));
      c.vp->setAccessibleName(T(TextId::ValidPeriod));
      c.macroLab->setText(T(TextId::MacroToExecute));
      c.macro->setAccessibleName(T(TextId::MacroToExecute));
    }
    ApplyRules();
  }

 protected:
  // A timer's Habil enables its time, days, validity period and macro; values are kept.
  void ApplyRules() override {
    for (int t = 0; t < kTimers; ++t) {
      const TimerControls& c = timers_[static_cast<std::size_t>(t)];
      const bool enabled = record_.Timers[static_cast<std::size_t>(t)].HABIL;
      for (QWidget* w : {static_cast<QWidget*>(c.time), static_cast<QWidget*>(c.vp),
                         static_cast<QWidget*>(c.macro), static_cast<QWidget*>(c.vpLabel),
                         static_cast<QWidget*>(c.macroLab)}) {
        w->setEnabled(enabled);
      }
      for (QCheckBox* day : c.days) day->setEnabled(enabled);
    }
  }

 private:
  struct TimerControls {
    QGroupBox* frame;
    QCheckBox* habil;
    QLineEdit* time;
    std::array<QCheckBox*, kWeekDays> days;  // Lunes to Domingo
    QLabel* vpLabel;
    QLineEdit* vp;
    QLabel* macroLab;
    QComboBox* macro;
  };
  std::array<TimerControls, kTimers> timers_{};
};

}  // namespace

EditorWindow* NewTimersEditor(ConfigurationRecord& record, QWidget* parent) {
  auto* editor = new TimersEditor(record, parent);
  editor->LoadText();
  editor->Refresh();
  return editor;
}

}  // namespace zdl::ui
