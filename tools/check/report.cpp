// Values from the database or the settings may hold any byte; Shown() keeps each line one line.
#include "tools/check/report.hpp"

#include "text/control.hpp"

namespace zibrolt::check {

void Report::Line(const char* mark, const std::string& text, int& count) {
  ++count;
  std::fprintf(out_, "%s  %s\n", mark, Shown(text).c_str());
}

void Report::Detail(const std::string& text) {
  std::fprintf(out_, "      %s\n", Shown(text).c_str());
}

int Report::Finish() {
  std::fprintf(out_, "Ergebnis: %d OK, %d WARN, %d FAIL\n", ok_, warn_, fail_);
  return fail_ == 0 ? 0 : 1;
}

std::vector<std::string> ReadLines(std::FILE* text) {
  std::vector<std::string> lines(1);
  std::rewind(text);
  for (int c; (c = std::fgetc(text)) != EOF;) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += static_cast<char>(c);
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::string StatusText(int status, const std::string& driverState) {
  std::string text = "SQLCode " + std::to_string(status);
  if (!driverState.empty()) text += ", SQLSTATE " + driverState;
  return text;
}

}  // namespace zibrolt::check
