// The windows' link with the unit, destroyed as a closing window destroys it, in every
// phase of an exchange on its worker. Nothing may be left running, reported or printed.
#include "ui/app/unit_link.h"

#include <QEventLoop>

#include "tests/gui/gui_support.h"
#include "tests/support/stderr_capture.h"

namespace zdl::ui {
namespace {

using testing::WaitFor;

TEST(UnitLink, DestroyedInAnyPhaseItEndsCleanly) {
  enum class Phase { Dial, Prompt, Save };
  for (Phase phase : {Phase::Dial, Phase::Prompt, Phase::Save}) {
    SCOPED_TRACE(static_cast<int>(phase));
    zdl::testing::StderrCapture stderrText;
    {
      UnitLinkOptions options = testing::VirtualUnit(true);
      options.virtualSaveTime = Millis{30000};
      auto link = std::make_unique<UnitLink>(options);
      std::optional<StartResult> started;
      bool reported = false, answeredLate = false;
      QObject::connect(link.get(), &UnitLink::Started, [&](StartResult r) { started = r; });
      QObject::connect(link.get(), &UnitLink::WriteFinished, [&] { reported = true; });
      // As a window closing does it: from an event of its own.
      const auto destroyAt = [&](TextId status) {
        QObject::connect(link.get(), &UnitLink::Status, [&, status](TextId offset) {
          if (offset == status) QTimer::singleShot(0, [&] { link.reset(); });
        });
      };
      // The prompt is modal: its own event loop runs while the link goes away.
      link->askPassword = [&]() -> std::optional<std::string> {
        QEventLoop dialog;
        QTimer::singleShot(0, [&] {
          link.reset();
          dialog.quit();
        });
        dialog.exec();
        answeredLate = true;
        return "1234";
      };
      if (phase == Phase::Dial || phase == Phase::Prompt) {
        if (phase == Phase::Dial) destroyAt(TextId::Calling);
        link->Start({UnitLink::VirtualUnitName().toStdString(), true, "600123456"});
      } else {
        ASSERT_TRUE(link->Start({UnitLink::VirtualUnitName().toStdString(), false, ""}));
        ASSERT_TRUE(WaitFor([&] { return started.has_value(); }));
        destroyAt(TextId::SavingOnEeprom);
        link->Write(testing::FullRecord());
      }
      ASSERT_TRUE(WaitFor([&] { return link == nullptr; }));
      EXPECT_EQ(answeredLate, phase == Phase::Prompt);
      testing::Settle(50);  // anything the worker left queued
      EXPECT_FALSE(reported);
    }
    EXPECT_EQ(stderrText.Text(), "");
  }
}

}  // namespace
}  // namespace zdl::ui
