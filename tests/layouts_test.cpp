// Every record builder read back through its layout table: each field holds what was put there,
// and a field the record leaves empty is blank. A layout and its builder that drift apart (a
// moved field, a wrong width) show here before a terminal reads the wrong positions.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <bitset>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formats/idstamm.hpp"
#include "formats/mgdnl17p.hpp"
#include "formats/mgdnl18p.hpp"
#include "formats/mgdnl31p.hpp"
#include "formats/mgdnl60p.hpp"
#include "formats/record_diff.hpp"
#include "generators/registry.hpp"
#include "tests/harness.hpp"

namespace zibrolt::test {
namespace {

using Fields = std::map<std::string, std::string>;  // field name -> its text; others blank

// The fields of one record (fixed layouts) or one line (IDSTAMM), as the layout places them.
Fields ReadBack(const Layout& layout, std::string_view record) {
  Fields fields;
  std::vector<std::string_view> values;
  if (layout.Lines()) {  // "a","b",...,"n"\n
    std::string_view line = record.substr(1, record.size() - 3);
    for (std::size_t at; (at = line.find("\",\"")) != std::string_view::npos;
         line.remove_prefix(at + 3))
      values.push_back(line.substr(0, at));
    values.push_back(line);
  }
  for (const Field& f : layout.fields) {
    const std::string_view text =
        layout.Lines()
            ? values.at(static_cast<std::size_t>(f.offset))
            : record.substr(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.length));
    if (text.find_first_not_of(' ') != std::string_view::npos) fields[std::string(f.name)] = text;
  }
  return fields;
}

TEST(Layouts, EveryBuilderReadsBackThroughItsLayout) {
  const std::vector<std::string_view> classes{"A1 ", "7  "};
  std::bitset<12> readers;
  readers.set(1).set(3).set(9);

  mgdnl17p::Badge b17;
  b17.number = "B17";
  b17.validFrom = "20260102";
  b17.balance = "  1,50-";
  b17.time = true;
  b17.classes = classes;
  b17.readers = readers;
  b17.location = "Loc";
  mgdnl60p::Badge b60;
  b60.number = "B60";
  b60.validFrom = "";
  b60.balance = "       ";
  b60.classes = classes;
  b60.readers = readers;
  std::array<mgdnl18p::Slot, mgdnl18p::kSlots> slots{};
  slots[0] = {"Datum        ", 1, "09.12.26", "#W1"};
  slots[5] = {"Saldo        ", 2, "  8,00 ", "#W9"};
  slots[2] = {"Urlaubsanspr ", 1, "Rest: 12 Tg", "#W21"};  // the text hides the whole label
  idstamm::Badge bid;
  bid.number = "BID";
  bid.validFrom = "20260102";
  bid.location = "00012";
  bid.time = true;
  bid.language = "2";
  bid.textSet = "SET";
  bid.type = "1";
  bid.pin = "4711";

  const struct {
    const Layout& layout;
    std::string record;
    Fields expected;
  } kCases[] = {
      {mgdnl17p::kLayout,
       mgdnl17p::BuildRecords(b17)[1],
       {{"badge", "B17          "},
        {"valid_from", "20260102"},
        {"time", "1"},
        {"access", "1"},
        {"balance", "  1,50-"},
        {"reader1", "017  "},
        {"reader3", "037  "},
        {"reader7", "07Loc"},
        {"reader9", "09   "}}},
      {mgdnl60p::kLayout,
       mgdnl60p::BuildRecords(b60)[0],
       {{"badge", "B60          "},
        {"valid_from", "00000000"},
        {"time", "0"},
        {"access", "1"},
        {"reader1", "01A1 "},
        {"reader3", "03A1 "}}},
      {mgdnl31p::kLayout,
       mgdnl31p::BuildRecord("B31", "20260102", "", true, "A1 ", "Lo"),
       {{"badge", "B31          "},
        {"valid_from", "20260102"},
        {"valid_to", "00000000"},
        {"time", "1"},
        {"access", "1"},
        {"constant1", "XXXX,XX-"},
        {"constant2", "001"},
        {"class", "A1 "},
        {"location", "Lo "}}},
      {mgdnl18p::kLayout,
       mgdnl18p::BuildRecord(slots, "B18", "09.12.26", "7744-010"),
       {{"badge", "B18          "},
        {"slot1", "Datum       09.12.26"},
        {"slot3", "Rest: 12 Tg         "},
        {"slot6", " Saldo         8,00 "}}},
      {idstamm::kLayout,
       idstamm::BuildLine(bid, "A1 "),
       {{"badge", "BID"},
        {"valid_from", "20260102"},
        {"location", "00012"},
        {"time", "1"},
        {"access", "0"},
        {"language", "2"},
        {"text_set", "SET"},
        {"constant", "001"},
        {"class", "A1 "},
        {"badge_again", "BID"},
        {"badge_type", "1"},
        {"pin", "4711"}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.layout.function);
    if (!c.layout.Lines()) {
      EXPECT_EQ(c.record.size(), static_cast<std::size_t>(c.layout.recordLength));
      EXPECT_TRUE(Covers(c.layout));
    }
    EXPECT_EQ(ReadBack(c.layout, c.record), c.expected) << c.record;
    // The registry gives each function its layout, in any letter case.
    EXPECT_EQ(FindLayout(c.layout.function), &c.layout);
  }
}

// The change log leaves out the values of secret fields; a layout that does not mark one would
// put PINs into a file auditors pass around.
TEST(Layouts, EveryFieldNamedAsSecretIsMarkedSecret) {
  std::vector<std::string> secret;
  for (const DownloadFunction& f : DownloadFunctions())
    for (const Field& field : f.layout.fields) {
      EXPECT_TRUE(field.secret || !NamedAsSecret(field.name)) << f.name << " " << field.name;
      if (field.secret) secret.push_back(std::string(f.name) + " " + std::string(field.name));
    }
  EXPECT_EQ(secret, std::vector<std::string>{"IDSTAMM pin"});
}


// The run's comparison reads two files side by side when their badges stand in byte order (as
// the database returns them) or in the order of their digits' values, and indexes them whole
// otherwise: all three find the same changes.
TEST(Layouts, ComparisonFindsTheSameChangesInEveryBadgeOrder) {
  const auto record = [](const char* badge, const char* cls, const char* location) {
    return mgdnl31p::BuildRecord(badge, "20260102", "", true, cls, location);
  };
  const std::map<std::string, std::string> kOld = {
      {"99", record("99", "A1", "L1")}, {"100", record("100", "B", "")}, {"7", record("7", "C", "")}};
  const std::map<std::string, std::string> kNew = {{"99", record("99", "A1", "L2")},
                                                   {"7", record("7", "C", "")},
                                                   {"1000", record("1000", "D", "")}};
  const std::vector<std::string> kExpected = {"added 1000 D", "changed 99 A1 location L1 L2",
                                              "removed 100 B"};
  const struct {
    const char* order;
    std::vector<std::string> badges;
  } kOrders[] = {
      {"bytes", {"100", "1000", "7", "99"}},
      {"digits", {"7", "99", "100", "1000"}},
      {"none", {"99", "7", "1000", "100"}},
  };
  for (const auto& c : kOrders) {
    SCOPED_TRACE(c.order);
    CapturedOutput before, after;
    for (const std::string& badge : c.badges) {
      if (kOld.count(badge)) std::fputs(kOld.at(badge).c_str(), before.get());
      if (kNew.count(badge)) std::fputs(kNew.at(badge).c_str(), after.get());
    }
    std::fflush(before.get());
    std::fflush(after.get());
    std::rewind(before.get());
    std::rewind(after.get());
    std::vector<std::string> found;
    ASSERT_TRUE(CompareFiles(mgdnl31p::kLayout, before.get(), after.get(),
                             [&](const RecordChange& ch) {
                               std::string text = std::string(ChangeKindName(ch.kind)) + " " +
                                                  std::string(ch.badge) + " " +
                                                  std::string(ch.accessClass);
                               if (ch.before && ch.after)
                                 for (std::size_t f = 0; f < ch.before->values.size(); ++f)
                                   if (ch.before->values[f] != ch.after->values[f])
                                     text += " " + std::string(mgdnl31p::kLayout.fields[f].name) +
                                             " " + std::string(Trim(ch.before->values[f])) + " " +
                                             std::string(Trim(ch.after->values[f]));
                               found.push_back(text);
                             }));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, kExpected);
  }
}

}  // namespace
}  // namespace zibrolt::test
