// Shows the records of a download file as an aligned table for a terminal or as CSV for a
// spreadsheet, one line per record with the fields of its layout named.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"
#include "formats/records.hpp"

namespace zibrolt::show {

enum class Style { kTable, kCsv };

// A Windows-1252 value as UTF-8 for the screen, control bytes written as \xNN.
std::string ShowText(std::string_view cp1252);

// The heading and the cells of one record: a table keeps a reader field in one cell and
// splits a display slot into label and value; CSV splits both.
std::vector<std::string> HeaderCells(const Layout& layout, Style style);
void RecordCells(const Layout& layout, const Record& r, Style style,
                 std::vector<std::string>& cells);

// One CSV line (with its line end), each cell quoted when it has to be.
std::string CsvLine(const std::vector<std::string>& cells);

// Columns padded to their widest cell, two blanks apart. Every line is measured first and
// written afterwards, so that a table of any length needs only its column widths in memory.
class Columns {
 public:
  void Measure(const std::vector<std::string>& cells);
  // The line padded to the widths, without blanks at its end, with its line end.
  std::string Line(const std::vector<std::string>& cells) const;
  // Dashes under each column, to underline a heading.
  std::string Rule() const;

 private:
  std::vector<std::size_t> widths_;
};

}  // namespace zibrolt::show
