// What a download file's layout says of each field: where it stands, how wide it is and what it
// may hold. The generators place values by field and the viewer reads and checks by the same
// tables (one per download function, beside its record builder), so a field's position is
// written down once.
#pragma once
#include <span>
#include <string_view>

namespace zibrolt {

enum class FieldKind {
  kBadge,        // badge number, left-aligned, blank-padded
  kDate,         // "yyyymmdd"; "00000000" in fixed records, empty in IDSTAMM, when there is none
  kFlag,         // "0" or "1"
  kBalance,      // a value right-aligned in 6 characters and a sign character
  kReader,       // reader number "%02d" of the reader or two blanks, then three characters
  kClass,        // access class, left-aligned, blank-padded to 3 characters
  kText,         // free text (location, language, PIN, ...)
  kConstant,     // the same text in every record
  kSameAsBadge,  // repeats the record's badge number
  kDisplaySlot,  // MGDNL18P display slot: label and value in 20 characters
};

// What the three characters after a reader number hold.
enum class ReaderTail {
  kClass,     // the access class of the record
  kLocation,  // the badge's location text (MGDNL17P reader field 7)
  kUnused,    // always three blanks
};

struct Field {
  std::string_view name;  // column name shown to operators
  int offset;             // fixed records: first position (from 0); IDSTAMM: field number (from 0)
  int length;             // characters; 0 for IDSTAMM fields of free width
  FieldKind kind;
  std::string_view expected = {};  // kConstant: the text every record holds
  int number = 0;                  // kReader: the reader number; kDisplaySlot: the slot number
  ReaderTail tail = ReaderTail::kClass;  // kReader only
  // A value that opens a door by itself (a PIN): the change log says that it changed, never
  // what it was or became. Every field whose name says it holds a secret must be marked; the
  // layouts' tests check every registered layout for it.
  bool secret = false;
};

// Whether a field's name says it holds a secret: a PIN, a code, a password.
constexpr bool NamedAsSecret(std::string_view name) {
  for (std::string_view word : {"pin", "code", "pass", "secret"})
    if (name.find(word) != std::string_view::npos) return true;
  return false;
}

struct Layout {
  std::string_view function;      // download function, upper case
  int recordLength;               // characters per fixed record; 0 for the IDSTAMM lines
  std::span<const Field> fields;  // in record order

  // IDSTAMM is the one line-based file: 14 quoted fields separated by commas, CR LF at the end.
  constexpr bool Lines() const { return recordLength == 0; }
};

// Whether a fixed layout's fields cover its record without gap or overlap.
constexpr bool Covers(const Layout& layout) {
  if (layout.Lines()) return true;
  int next = 0;
  for (const Field& f : layout.fields) {
    if (f.offset != next) return false;
    next += f.length;
  }
  return next == layout.recordLength;
}

// A display slot split into its label and its value. The generator writes a label of 12
// characters and a blank followed by a 7-character value; it shifts the label one place right
// in slots 5 to 8 for the second display column; puts the date "dd.mm.yy" over the last 8
// positions; and lets a text longer than 10 characters fill the whole slot. The file does not
// say which applied, so this reads the slot the way it most likely was written.
struct SlotParts {
  std::string_view label;
  std::string_view value;
};
SlotParts SplitDisplaySlot(std::string_view slot, int slotNumber);

}  // namespace zibrolt
