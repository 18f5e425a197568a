// The macros editor: fourteen frames, one per macro, each with the macro's text and the
// unit command it runs. Both are free text; the editor has no enabling rules.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <array>
#include <vector>

#include "ui/app/editor_window.h"
#include "ui/app/editors.h"
#include "ui/app/language.h"

namespace zdl::ui {

namespace {

// Seven macros a column, numbered down the first column and on down the second.
constexpr int kMacrosPerColumn = 7;

class MacrosEditor final : public EditorWindow {
 public:
  MacrosEditor(ConfigurationRecord& record, QWidget* parent) : EditorWindow(EditorId::Macros, record, parent) {
    setObjectName(QStringLiteral("Macros"));
    std::vector<QWidget*> order;
    auto* grid = new QGridLayout(this);
    for (int k = 0; k < kMacros; ++k) {
      MacroControls& m = macros_[static_cast<std::size_t>(k)];
      const QString n = QString::number(k);
      m.frame = Frame(QStringLiteral("Frame_") + n);
      const Macro& macro = record_.Macros[static_cast<std::size_t>(k)];
      m.text = BindText(macro.MACRO_TEXT);
      m.command = BindText(macro.MACRO_COM);
      m.label = Label(QStringLiteral("Label_") + n, m.command);
      // Room for the whole text and the whole command.
      for (const Text* text : {&macro.MACRO_TEXT, &macro.MACRO_COM}) {
        auto* box = static_cast<QLineEdit*>(ControlOf(*text));
        box->setMinimumWidth(box->fontMetrics().averageCharWidth() * static_cast<int>(RowOf(*text).maxLength) + 14);
      }
      auto* row = new QHBoxLayout(m.frame);
      row->addWidget(m.text, 2);
      row->addSpacing(8);
      row->addWidget(m.label);
      row->addWidget(m.command, 3);
      grid->addWidget(m.frame, k % kMacrosPerColumn, k / kMacrosPerColumn);
      order.insert(order.end(), {m.text, m.command});
    }
    grid->setRowStretch(kMacrosPerColumn, 1);
    ChainTabOrder(order);
  }

  void LoadText() override {
    setWindowTitle(T(TextId::MacrosTab));
    for (int k = 0; k < kMacros; ++k) {
      MacroControls& m = macros_[static_cast<std::size_t>(k)];
      m.frame->setTitle(T(TextId::MacroPrefix, k + 1));
      Describe(m.text, T(TextId::MacroText));
      m.label->setText(T(TextId::CommandLabel));
      Describe(m.command, T(TextId::AssociatedCommand), T(TextId::CommandLabel));
    }
  }

 private:
  struct MacroControls {
    QGroupBox* frame;
    QLineEdit* text;
    QLabel* label;
    QLineEdit* command;
  };
  std::array<MacroControls, kMacros> macros_{};
};

}  // namespace

EditorWindow* NewMacrosEditor(ConfigurationRecord& record, QWidget* parent) {
  auto* editor = new MacrosEditor(record, parent);
  editor->LoadText();
  editor->Refresh();
  return editor;
}

}  // namespace zdl::ui
