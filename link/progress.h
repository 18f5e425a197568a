// How an exchange with the unit (a read, a write, a firmware upload) tells the front end
// where it is: a status text (a string-table offset) and a progress bar.
#pragma once

namespace zdl {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Status(int /*offset*/) {}
  virtual void Range(int /*maximum*/) {}
  virtual void Value(int /*value*/) {}
};

}  // namespace zdl
