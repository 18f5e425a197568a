// libFuzzer target: the write's line builders on a record whose fields the input sets, one
// field after another (a field of the table or a phone-list entry, then its value). Whatever
// the texts hold, every line the builders give is one line of characters (no byte below
// 0x20, no DEL), framed without a line break inside; and a record that passes the checks
// before a write is never refused by the builders.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "link/serial_line.h"
#include "model/configuration_record.h"
#include "model/field_table.h"
#include "model/validators.h"
#include "transfer/check_pass.h"
#include "transfer/command_set.h"

namespace {

// A record that passes the checks as it stands, so that one changed field is enough to
// reach the builders with the check passed.
zdl::ConfigurationRecord Writable() {
  zdl::ConfigurationRecord r;
  r.General.SMSC = "+34609090909";
  r.General.PTLF = "600111222";
  r.ListaTlf = {"600,Prio=1,PRV2"};
  return r;
}

void FailUnlessOneLine(const std::string& text) {
  if (text.empty()) std::abort();
  for (const char c : text) {
    if (zdl::IsControlByte(c)) std::abort();
  }
  if (zdl::FrameCommand(text).find_first_of("\r\n") != std::string::npos) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::span<const zdl::Field> table = zdl::FieldTable();
  const zdl::UnitFacts unit{in.ConsumeBool(), in.ConsumeBool() ? 5.01f : 4.3f, "ZDL410 v5.01"};
  zdl::ConfigurationRecord record = Writable();
  while (in.remaining_bytes() > 0) {
    const std::size_t which = in.ConsumeIntegralInRange<std::size_t>(0, table.size());
    if (which == table.size()) {  // a phone-list entry, replaced or added
      const std::size_t position = in.ConsumeIntegralInRange<std::size_t>(0, zdl::kPhoneListSize - 1);
      std::string entry = in.ConsumeRandomLengthString(120);
      if (position < record.ListaTlf.size()) {
        record.ListaTlf[position] = std::move(entry);
      } else {
        record.AppendPhoneEntry(entry);
      }
      continue;
    }
    const zdl::Field& field = table[which];
    if (field.kind == zdl::FieldKind::TextBox) {
      field.setText(record, in.ConsumeRandomLengthString(120));
    } else {
      field.setInt(record, in.ConsumeIntegralInRange<int>(-1, 15));
    }
  }

  const zdl::CheckResult check = zdl::CheckForWrite(record, unit);
  const zdl::WriteSequence sequence = zdl::BuildWriteSequence(record);
  if (check.kind != zdl::CheckResult::Failed && sequence.refused) std::abort();
  if (check.kind == zdl::CheckResult::Failed) {
    if (zdl::FocusField(check) == nullptr) std::abort();
    if (zdl::CheckMessage(check, unit, zdl::Lang::Spanish).empty()) std::abort();
  }
  if (sequence.refused && !(sequence.steps.empty() && zdl::AllLines(sequence).empty())) {
    std::abort();
  }
  for (const zdl::CommandLine& line : zdl::AllLines(sequence)) FailUnlessOneLine(line.text);
  return 0;
}
