// Compares two download files of the same function, record by record, keyed by badge number
// and access class: the preview of what a terminal will gain, lose and see changed when the
// new file replaces the old one.
#pragma once
#include <string>
#include <vector>

#include "formats/layout.hpp"
#include "tools/show/records.hpp"

namespace zibrolt::show {

struct FieldChange {
  std::string field;     // layout field name
  std::string oldValue;  // as the files hold them, Windows-1252
  std::string newValue;
};

struct RecordChange {
  enum class Kind { kAdded, kRemoved, kChanged } kind;
  std::string badge;                // without padding
  std::string accessClass;          // without padding; empty when the record has none
  int occurrence = 0;               // counts records with the same badge and class, from 0
  std::vector<FieldChange> fields;  // kChanged only
};

struct Comparison {
  std::vector<RecordChange> changes;  // ordered by badge, class and occurrence
  int badgesAdded = 0;                // badges only in the new file
  int badgesRemoved = 0;              // badges only in the old file
  int badgesChanged = 0;              // badges in both with any record different
  int badgesUnchanged = 0;
};

// Records that do not have all their fields (a short record, a broken line) take no part:
// the validator reports them.
Comparison Compare(const Layout& layout, const std::vector<Record>& oldRecords,
                   const std::vector<Record>& newRecords);

std::string RenderComparison(const Layout& layout, const Comparison& comparison);
std::string RenderComparisonCsv(const Comparison& comparison);

}  // namespace zibrolt::show
