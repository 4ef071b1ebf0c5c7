// The preflight's verdict lines: one per point checked, marked OK, WARN or FAIL, and the
// closing count. Only a FAIL makes the exit status non-zero.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace zibrolt::check {

class Report {
 public:
  explicit Report(std::FILE* out) : out_(out) {}

  void Ok(const std::string& text) { Line("OK  ", text, ok_); }
  void Warn(const std::string& text) { Line("WARN", text, warn_); }
  void Fail(const std::string& text) { Line("FAIL", text, fail_); }
  // A line under the last point that says more about it (a database's own words, a diff).
  void Detail(const std::string& text);

  // "Ergebnis: n OK, n WARN, n FAIL"; the exit status: 0 when nothing failed, else 1.
  int Finish();
  std::FILE* out() const { return out_; }

 private:
  void Line(const char* mark, const std::string& text, int& count);

  std::FILE* out_;
  int ok_ = 0, warn_ = 0, fail_ = 0;
};

// The lines a scratch stream holds, read from its start, without their line ends.
std::vector<std::string> ReadLines(std::FILE* text);

// A status as the lines show it, with the SQLSTATE of a driver error that has no number.
std::string StatusText(int status, const std::string& driverState);

}  // namespace zibrolt::check
