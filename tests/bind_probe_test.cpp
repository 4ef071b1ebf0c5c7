// The bind probe's verdict from the server's DUMP answers and the key columns' types, without a
// server: each answer is what Oracle gives for one way a driver can bind text.
#include "data/bind_probe.hpp"

#include <gtest/gtest.h>

namespace zibrolt {
namespace {

const std::string kVarchar = "Typ=1 Len=3 CharacterSet=AL32UTF8: 5a,c3,a4";
const std::string kChar = "Typ=96 Len=3 CharacterSet=AL32UTF8: 5a,c3,a4";
const std::string kPadded = "Typ=96 Len=5 CharacterSet=AL32UTF8: 5a,c3,a4,20,20";
const std::string kNational = "Typ=1 Len=4 CharacterSet=AL16UTF16: 0,5a,0,e4";

TEST(BindProbe, ParseDumpTakesOraclesFormOnly) {
  DumpReading d;
  ASSERT_TRUE(ParseDump(kPadded, d));
  EXPECT_EQ(d.type, 96);
  EXPECT_EQ(d.length, 5);
  EXPECT_EQ(d.charset, "AL32UTF8");
  EXPECT_EQ(d.bytes, (std::vector<unsigned char>{0x5a, 0xc3, 0xa4, 0x20, 0x20}));
  for (const char* bad : {"", "NULL", "Typ=1 Len=3: 5a,c3", "Typ=1 Len=2 CharacterSet=X: 5a,1ff",
                          "Typ=1 Len=1 CharacterSet=X 5a", "Typ= Len=1: 5a", "Typ=1 Len=1: "})
    EXPECT_FALSE(ParseDump(bad, d)) << bad;
}

TEST(BindProbe, VerdictPerDriverBehaviourAndKeyType) {
  const KeyColumnType varcharKeys[] = {{"T.K", "VARCHAR2", 20}, {"T.N", "NUMBER", 0}};
  const KeyColumnType charKeys[] = {{"T.N", "NUMBER", 0}, {"T.C", "CHAR", 10}};
  const KeyColumnType nationalKeys[] = {{"T.K", "NVARCHAR2", 20}};
  const KeyColumnType otherKeys[] = {{"T.D", "DATE", 7}, {"T.X", "", 0}};
  struct Case {
    BindAnswers answers;
    std::span<const KeyColumnType> keys;
    const char* problem;  // a part of the problem's text; null: fits
  };
  const Case cases[] = {
      {{kVarchar, kVarchar, false, false}, varcharKeys, nullptr},
      {{kVarchar, kVarchar, false, false}, charKeys, "T.C ist CHAR(10)"},
      {{kChar, kChar, true, true}, varcharKeys, nullptr},
      {{kChar, kChar, true, true}, charKeys, nullptr},
      // Oracle makes a union of CHARs of different lengths VARCHAR2: the window alone differs.
      {{kChar, kVarchar, true, false}, charKeys, "T.C ist CHAR(10)"},
      {{kPadded, kPadded, true, true}, varcharKeys, "T.K ist VARCHAR2, der Text kommt aber aufg"},
      {{kVarchar, kPadded, false, false}, varcharKeys, "aufgefuellt"},
      {{kPadded, kPadded, true, true}, charKeys, nullptr},
      {{kNational, kNational, false, false}, varcharKeys, "nationalen Zeichensatz"},
      {{kNational, kNational, false, false}, nationalKeys, nullptr},
      {{"Typ=2 Len=1: 5a", kVarchar, false, false}, varcharKeys, "als Typ 2"},
      {{"ORA-00904", kVarchar, false, false}, varcharKeys, "nicht lesbar"},
      {{kVarchar, kVarchar, false, false}, otherKeys, "T.D hat den Typ DATE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answers.single + " / " + c.answers.window + " against " + c.keys[0].type);
    const BindCheck check = JudgeBinds(c.answers, c.keys);
    EXPECT_TRUE(check.probed);
    EXPECT_EQ(check.ok, c.problem == nullptr) << check.problem;
    if (!c.problem) continue;
    EXPECT_NE(check.problem.find(c.problem), std::string::npos) << check.problem;
    EXPECT_FALSE(check.change.empty());
  }
}

}  // namespace
}  // namespace zibrolt
