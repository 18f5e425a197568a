// How an exchange with the unit (a read, a write, a firmware upload) tells the front end
// where it is: a status text (a text of the string table) and a progress bar.
#pragma once

#include "text/string_table.h"

namespace zdl {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Status(TextId /*text*/) {}
  virtual void Range(int /*maximum*/) {}
  virtual void Value(int /*value*/) {}
};

}  // namespace zdl
