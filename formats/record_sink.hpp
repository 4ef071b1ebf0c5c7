// Where the records of a download file go. The generators write to it and the run's download
// file (or the check's comparison) receives them; neither side needs the other's includes.
#pragma once
#include <string_view>

namespace zibrolt {

class RecordSink {
 public:
  // Fixed-width records: the bytes exactly, no line end.
  virtual void Write(std::string_view bytes) = 0;
  // Text lines: each "\n" reaches the file as CR LF, as the terminals expect.
  virtual void WriteText(std::string_view text) = 0;

 protected:
  ~RecordSink() = default;
};

}  // namespace zibrolt
