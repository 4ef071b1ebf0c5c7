// Shows the records of a download file as an aligned table for a terminal or as CSV for a
// spreadsheet, one line per record with the fields of its layout named.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "formats/layout.hpp"
#include "tools/show/records.hpp"

namespace zibrolt::show {

// A Windows-1252 value as UTF-8 for the screen, control bytes written as \xNN.
std::string ShowText(std::string_view cp1252);

std::string RenderTable(const Layout& layout, const std::vector<Record>& records);
std::string RenderCsv(const Layout& layout, const std::vector<Record>& records);

// One CSV line (with its line end), each cell quoted when it has to be.
std::string CsvLine(const std::vector<std::string>& cells);

// Lines of cells as columns padded to their widest cell, two blanks apart; with
// ruleUnderFirst the first line is a heading underlined with dashes.
std::string AlignColumns(const std::vector<std::vector<std::string>>& lines, bool ruleUnderFirst);

}  // namespace zibrolt::show
