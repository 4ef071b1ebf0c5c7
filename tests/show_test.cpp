// zibrolt-show run as operators run it, on files written here byte by byte: the table and CSV
// of each download function, the findings of the check with their offsets, the comparison of
// two files, and the command-line conventions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "frame/version.hpp"
#include "tests/harness.hpp"

namespace zibrolt {
namespace {

struct ShowRun {
  int exitStatus;
  std::string out;  // standard output
  std::string err;  // standard error
};

class ShowTool : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::NewTemporaryFolder("/tmp/zibrolt-show-"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, std::string_view bytes) {
    test::WriteFile(dir_ / name, bytes);
  }
  ShowRun Show(const std::string& args) {
    const auto r = test::Shell("'" ZIBROLT_SHOW_BIN "' " + args + " 2>err.txt", dir_);
    return {r.exitStatus, r.output, test::ReadFile(dir_ / "err.txt")};
  }
  std::filesystem::path dir_;
};

// Two MGDNL31P records: 4711 with class 10, location text "Bür" (0xFC in the file), no last
// day; 98765432101 with class A1 on a leap day, no location.
const std::string kMgDnl31P =
    "4711         "
    "20250101"
    "00000000"
    "1"
    "1"
    "XXXX,XX-"
    "001"
    "10 "
    "B\xFCr"
    "98765432101  "
    "20240229"
    "20261231"
    "0"
    "1"
    "XXXX,XX-"
    "001"
    "A1 "
    "   ";

TEST_F(ShowTool, Mgdnl31pAsTableAndCsv) {
  Write("f.dnl", kMgDnl31P);
  ShowRun r = Show("MGDNL31P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "rec  badge        valid_from  valid_to  time  access  constant1  constant2  class  "
            "location\n"
            "---  -----------  ----------  --------  ----  ------  ---------  ---------  -----  "
            "--------\n"
            "1    4711         20250101    00000000  1     1       XXXX,XX-   001        10     "
            "B\u00fcr\n"
            "2    98765432101  20240229    20261231  0     1       XXXX,XX-   001        A1\n");
  EXPECT_EQ(r.err, "f.dnl: 2 records of MGDNL31P, sound\n");

  r = Show("--csv mgdnl31p f.dnl");  // the function in any case, as zibrolt takes it
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "record,badge,valid_from,valid_to,time,access,constant1,constant2,class,location\n"
            "1,4711,20250101,00000000,1,1,\"XXXX,XX-\",001,10,B\u00fcr\n"
            "2,98765432101,20240229,20261231,0,1,\"XXXX,XX-\",001,A1,\n");
}

TEST_F(ShowTool, Mgdnl17pReaderFieldsAsNumberAndClassOrLocation) {
  // Readers 1 and 2 with class 10, field 7 with the location, reader 9 by number only.
  Write("f.dnl",
        "4711         "
        "20250101"
        "1"
        "1"
        "  12,5-"
        "0110 "
        "0210 "
        "     "
        "     "
        "     "
        "     "
        "07B\xFCr"
        "     "
        "09   "
        "     "
        "     ");
  ShowRun r = Show("MGDNL17P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "rec  badge  valid_from  time  access  balance  r1     r2     r3  r4  r5  r6  r7      "
            "r8  r9  r10  r11\n"
            "---  -----  ----------  ----  ------  -------  -----  -----  --  --  --  --  ------  "
            "--  --  ---  ---\n"
            "1    4711   20250101    1     1         12,5-  01 10  02 10                  07 "
            "B\u00fcr      09\n");
  r = Show("--csv MGDNL17P f.dnl");
  EXPECT_EQ(r.out,
            "record,badge,valid_from,time,access,balance,reader1,class1,reader2,class2,reader3,"
            "class3,reader4,class4,reader5,class5,reader6,class6,reader7,location7,reader8,"
            "reader9,reader10,reader11\n"
            "1,4711,20250101,1,1,\"12,5-\",01,10,02,10,,,,,,,,,07,B\u00fcr,,09,,\n");
}

TEST_F(ShowTool, Mgdnl60pAccessAndTimeOnlyRecords) {
  Write("f.dnl",
        "4711         "
        "20250101"
        "1"
        "1"
        "  12,5-"
        "0110 "
        "     "
        "0310 "
        "4712         "
        "00000000"
        "1"
        "0"
        "       "
        "     "
        "     "
        "     ");
  ShowRun r = Show("MGDNL60P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "rec  badge  valid_from  time  access  balance  r1     r2  r3\n"
            "---  -----  ----------  ----  ------  -------  -----  --  -----\n"
            "1    4711   20250101    1     1         12,5-  01 10      03 10\n"
            "2    4712   00000000    1     0\n");
  r = Show("--csv MGDNL60P f.dnl");
  EXPECT_EQ(r.out,
            "record,badge,valid_from,time,access,balance,reader1,class1,reader2,class2,reader3,"
            "class3\n"
            "1,4711,20250101,1,1,\"12,5-\",01,10,,,03,10\n"
            "2,4712,00000000,1,0,,,,,,,\n");
}

TEST_F(ShowTool, Mgdnl18pSlotsAsLabelAndValue) {
  // Slot 1 plain, 2 the date, 3 a 20-character text, 4 empty, 5 a label shifted right for
  // the second display column, 8 a label starting with 0xDC.
  const std::string record = std::string("4711         ") + "Urlaub       " + "  12,5 " +
                             "Heute       " + "05.03.25" + "Info: Betriebsferien" +
                             std::string(20, ' ') + " Gleitzeit   " + "  3,25-" +
                             std::string(40, ' ') +
                             "\xDC"
                             "berstd.     " +
                             "   40  ";
  ASSERT_EQ(record.size(), 173u);
  Write("f.dnl", record);
  ShowRun r = Show("--csv MGDNL18P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "record,badge,label1,value1,label2,value2,label3,value3,label4,value4,label5,value5,"
            "label6,value6,label7,value7,label8,value8\n"
            "1,4711,Urlaub,\"12,5\",Heute,05.03.25,,Info: Betriebsferien,,,Gleitzeit,\"3,25-\","
            ",,,,\u00dcberstd.,40\n");
  r = Show("MGDNL18P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "rec  badge  label1  value1  label2  value2    label3  value3                label4  "
            "value4  label5     value5   label6  value6  label7  value7  label8    value8");
  EXPECT_NE(r.out.find("1    4711   Urlaub    12,5  Heute   05.03.25          "
                       "Info: Betriebsferien                  Gleitzeit    3,25-"),
            std::string::npos)
      << r.out;
}

const std::string kIdStammLine1 =
    "\"4711\",\"20250101\",\"\",\"00012\",\"1\",\"1\",\"1\",\"PERS\",\"001\",\"10 \",\"\","
    "\"4711\",\"2\",\"1234\"\r\n";

TEST_F(ShowTool, IdStammFourteenFields) {
  Write("f.txt", kIdStammLine1 +
                     "\"4712\",\"\",\"20261231\",\"\",\"1\",\"0\",\"2\",\"K\xDC"
                     "CHE\",\"001\","
                     "\"Z  \",\"\",\"4712\",\"1\",\"\"\r\n");
  ShowRun r = Show("--csv IDSTAMM f.txt");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "record,badge,valid_from,valid_to,location,time,access,language,text_set,constant,"
            "class,empty,badge_again,badge_type,pin\n"
            "1,4711,20250101,,00012,1,1,1,PERS,001,10,,4711,2,1234\n"
            "2,4712,,20261231,,1,0,2,K\u00dcCHE,001,Z,,4712,1,\n");
  EXPECT_EQ(r.err, "f.txt: 2 lines of IDSTAMM, sound\n");
  r = Show("IDSTAMM f.txt");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "rec  badge  valid_from  valid_to  location  time  access  language  text_set  "
            "constant  class  empty  badge_again  badge_type  pin\n"
            "---  -----  ----------  --------  --------  ----  ------  --------  --------  "
            "--------  -----  -----  -----------  ----------  ----\n"
            "1    4711   20250101              00012     1     1       1         PERS      "
            "001       10            4711         2           1234\n"
            "2    4712               20261231            1     0       2         K\u00dcCHE     "
            "001       Z             4712         1\n");
}

TEST_F(ShowTool, OneByteCutShiftsTheRestAndIsFoundWithItsOffsets) {
  std::string cut = kMgDnl31P;
  cut.erase(20, 1);  // the last digit of the first valid_from
  Write("f.dnl", cut);
  ShowRun r = Show("MGDNL31P f.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "f.dnl: record 1, byte 13: valid_from: \"20250100\" is not a date\n"
            "f.dnl: record 1, byte 21: valid_to: \"00000001\" is not a date\n"
            "f.dnl: record 1, byte 30: access: \"X\" is not \"0\" or \"1\"\n"
            "f.dnl: record 1, byte 31: constant1: \"XXX,XX-0\" instead of \"XXXX,XX-\"\n"
            "f.dnl: record 1, byte 39: constant2: \"011\" instead of \"001\"\n"
            "f.dnl: record 2, byte 48: the file ends inside the record: 47 of 48 characters\n"
            "f.dnl: record 2, byte 61: valid_from: \"02402292\" is not a date\n"
            "f.dnl: record 2, byte 69: valid_to: \"02612310\" is not a date\n"
            "f.dnl: record 2, byte 78: access: \"X\" is not \"0\" or \"1\"\n"
            "f.dnl: record 2, byte 79: constant1: \"XXX,XX-0\" instead of \"XXXX,XX-\"\n"
            "f.dnl: record 2, byte 87: constant2: \"01A\" instead of \"001\"\n"
            "f.dnl: 2 records of MGDNL31P, 11 findings\n");
  // Still shown, as the terminal would read it: record 2 starts one byte late.
  EXPECT_NE(r.out.find("\n2    8765432101  2  02402292"), std::string::npos) << r.out;

  r = Show("--check MGDNL31P f.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "");
  r = Show("--no-check MGDNL31P f.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(ShowTool, DatesFlagsReaderSlotsAndControlBytes) {
  // 17P: 1900 was no leap year; field 7 may say 07 with the location on any terminal; the
  // positions after readers 8 to 11 stay blank.
  Write("17.dnl",
        "4711         "
        "19000229"
        "1"
        "1"
        "       "
        "01A1 "
        "     "
        "     "
        "     "
        "     "
        "     "
        "07B\xFCr"
        "08   "
        "     "
        "10   "
        "  x  ");
  ShowRun r = Show("--check MGDNL17P 17.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "17.dnl: record 1, byte 13: valid_from: \"19000229\" is not a date\n"
            "17.dnl: record 1, byte 82: reader11: \"x  \" after the reader number instead of "
            "three blanks\n"
            "17.dnl: 1 record of MGDNL17P, 2 findings\n");

  // 60P: 2023 had no 29 February, a time flag of 2, a terminator inside the balance, reader
  // 2's number in reader 1's slot; the second record, on 29 February 2000, is sound.
  Write("60.dnl", std::string("4711         "
                              "20230229"
                              "2"
                              "1"
                              "  12,5") +
                      '\0' +
                      "0210 "
                      "  10 "
                      "0310 "
                      "4712         "
                      "20000229"
                      "1"
                      "1"
                      "       "
                      "0110 "
                      "     "
                      "     ");
  r = Show("--check MGDNL60P 60.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "60.dnl: record 1, byte 13: valid_from: \"20230229\" is not a date\n"
            "60.dnl: record 1, byte 21: time: \"2\" is not \"0\" or \"1\"\n"
            "60.dnl: record 1, byte 29: balance: control byte 0x00\n"
            "60.dnl: record 1, byte 30: reader1: \"02\" instead of \"01\" or two blanks\n"
            "60.dnl: 2 records of MGDNL60P, 4 findings\n");
  r = Show("MGDNL60P 60.dnl");
  EXPECT_NE(r.out.find("  12,5\\x00  02 10"), std::string::npos) << r.out;
}

TEST_F(ShowTool, BrokenIdStammLines) {
  Write("f.txt",
        kIdStammLine1 +
            // no PIN field
            "\"4712\",\"\",\"\",\"\",\"1\",\"0\",\"2\",\"PERS\",\"001\",\"Z  \",\"\",\"4712\","
            "\"1\"\r\n"
            // LF alone, a month 13, the constant and the repeated badge wrong
            "\"4713\",\"20251301\",\"\",\"\",\"1\",\"0\",\"2\",\"PERS\",\"002\",\"Z  \",\"\","
            "\"4799\",\"1\",\"\"\n"
            // cut off inside the PIN
            "\"4714\",\"\",\"\",\"\",\"1\",\"0\",\"2\",\"PERS\",\"001\",\"Z  \",\"\",\"4714\","
            "\"1\",\"12");
  ShowRun r = Show("IDSTAMM f.txt");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.err,
            "f.txt: line 2, byte 82: 13 quoted fields instead of 14\n"
            "f.txt: line 3, byte 215: line ends in LF without CR\n"
            "f.txt: line 3, byte 152: valid_from: \"20251301\" is not a date\n"
            "f.txt: line 3, byte 188: constant: \"002\" instead of \"001\"\n"
            "f.txt: line 3, byte 203: badge_again: \"4799\" differs from the badge \"4713\"\n"
            "f.txt: line 4, byte 280: last line has no CR LF\n"
            "f.txt: line 4, byte 216: line is not enclosed in double quotes\n"
            "f.txt: 4 lines of IDSTAMM, 7 findings\n");
}

TEST_F(ShowTool, DiffKeyedByBadgeAndClass) {
  const std::string badge4711 =
      "4711         "
      "20250101";
  Write("old.dnl", badge4711 +
                       "00000000"
                       "11XXXX,XX-001"
                       "20 "
                       "B\xFCr" +
                       badge4711 +
                       "00000000"
                       "11XXXX,XX-001"
                       "10 "
                       "B\xFCr" +
                       "4712         "
                       "20250101"
                       "00000000"
                       "01XXXX,XX-001"
                       "10 "
                       "   ");
  Write("new.dnl", badge4711 +
                       "20261231"
                       "11XXXX,XX-001"
                       "10 "
                       "EG " +
                       "4713         "
                       "20250101"
                       "00000000"
                       "01XXXX,XX-001"
                       "10 "
                       "   ");
  ShowRun r = Show("--diff MGDNL31P old.dnl new.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "changed  4711  class 10  valid_to \"00000000\" -> \"20261231\", location "
            "\"B\u00fcr\" -> \"EG\"\n"
            "removed  4711  class 20\n"
            "removed  4712  class 10\n"
            "added    4713  class 10\n"
            "badges: 1 added, 1 removed, 1 changed, 0 unchanged\n");
  EXPECT_EQ(r.err,
            "old.dnl: 3 records of MGDNL31P, sound\nnew.dnl: 2 records of MGDNL31P, sound\n");
}

TEST_F(ShowTool, DiffShowsABadgeThatLostItsAccessClass) {
  // In MGDNL60P the class stands in the reader slots; 4711 keeps only its time authorisation.
  const std::string unchanged =
      "4712         "
      "20250101"
      "1"
      "0"
      "       "
      "     "
      "     "
      "     ";
  Write("old.dnl",
        "4711         "
        "20250101"
        "1"
        "1"
        "  12,5-"
        "0110 "
        "     "
        "     " +
            unchanged);
  Write("new.dnl",
        "4711         "
        "20250101"
        "1"
        "0"
        "  12,5-"
        "     "
        "     "
        "     " +
            unchanged);
  ShowRun r = Show("MGDNL60P --diff old.dnl new.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out,
            "added    4711  class -\n"
            "removed  4711  class 10\n"
            "badges: 0 added, 0 removed, 1 changed, 1 unchanged\n");
  r = Show("--diff --csv MGDNL60P old.dnl new.dnl");
  EXPECT_EQ(r.out,
            "change,badge,class,field,old,new\n"
            "added,4711,,,,\n"
            "removed,4711,10,,,\n");

  // A file cut short is not sound, and its broken record takes no part in the comparison.
  Write("cut.dnl", ("4711         "
                    "20250101"
                    "1"
                    "0"
                    "  12,5-"
                    "     "
                    "     "
                    "     " +
                    unchanged)
                       .substr(0, 89));
  r = Show("--diff MGDNL60P new.dnl cut.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(r.out, "removed  4712  class -\nbadges: 0 added, 1 removed, 0 changed, 1 unchanged\n");
}

TEST_F(ShowTool, IdStammQuoteInsideAValueAndOverlongLines) {
  struct Case {
    std::string file, err;
  };
  std::string quoted = kIdStammLine1;
  quoted.insert(quoted.size() - 5, "\"");  // "12\"34" as the PIN
  const Case cases[] = {
      {quoted,
       "f.txt: line 1, byte 77: pin: double quote inside the value\n"
       "f.txt: 1 line of IDSTAMM, 1 finding\n"},
      // No line feed at all: only the start of the line is held.
      {std::string(10000, 'x'),
       "f.txt: line 1, byte 10000: last line has no CR LF\n"
       "f.txt: line 1, byte 0: line of 10000 characters, at most 254\n"
       "f.txt: 1 line of IDSTAMM, 2 findings\n"},
      {"", "f.txt: 0 lines of IDSTAMM, sound\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    Write("f.txt", c.file);
    const ShowRun r = Show("--check IDSTAMM f.txt");
    EXPECT_EQ(r.exitStatus, c.file.empty() ? 0 : 1);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(ShowTool, FindingsBeyondTheFirstHundredAreCounted) {
  Write("f.dnl", std::string(20 * 45, 'x'));  // six findings in each of 20 MGDNL60P records
  const ShowRun r = Show("MGDNL60P f.dnl");
  EXPECT_EQ(r.exitStatus, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 102);
  EXPECT_NE(r.err.find("f.dnl: record 17, byte 750: reader1: \"xx\" instead of \"01\" or two "
                       "blanks\n"
                       "f.dnl: 20 more findings not shown\n"
                       "f.dnl: 20 records of MGDNL60P, 120 findings\n"),
            std::string::npos)
      << r.err;
#ifndef _WIN32  // no /dev/stdin
  // Through a pipe the table, which reads the records twice, is the same.
  const auto piped = test::Shell("cat f.dnl | '" ZIBROLT_SHOW_BIN "' MGDNL60P /dev/stdin", dir_);
  EXPECT_EQ(piped.output, r.out);
#endif
}

TEST_F(ShowTool, DiffPairsRepeatedKeysIdenticalRecordsFirst) {
  // Records of badge 4711, class 10, told apart by their last day.
  auto records = [](std::string_view lastDays) {
    std::string file;
    for (char d : lastDays)
      file += std::string("4711         20250101") + "2026121" + d + "11XXXX,XX-00110 B\xFCr";
    return file;
  };
  struct Case {
    const char *before, *after, *out;
  };
  const Case cases[] = {
      {"1", "01", "added  4711  class 10\nbadges: 0 added, 0 removed, 1 changed, 0 unchanged\n"},
      {"1", "10", "added  4711  class 10 #2\n"},
      {"102", "12", "removed  4711  class 10 #2\n"},
      {"10", "11", "changed  4711  class 10 #2  valid_to \"20261210\" -> \"20261211\"\n"},
      {"10", "01", "badges: 0 added, 0 removed, 0 changed, 1 unchanged\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before) + " -> " + c.after);
    Write("old.dnl", records(c.before));
    Write("new.dnl", records(c.after));
    const ShowRun r = Show("--diff MGDNL31P old.dnl new.dnl");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
}

TEST_F(ShowTool, UsageErrorsExitWithTwo) {
  Write("f.dnl", kMgDnl31P);
  for (const char* args :
       {"", "MGDNL31P", "--bogus MGDNL31P f.dnl", "MGDNL99P f.dnl", "--diff MGDNL31P f.dnl",
        "MGDNL31P f.dnl f.dnl", "--check --csv MGDNL31P f.dnl", "MGDNL31P nosuch.dnl"}) {
    SCOPED_TRACE(args);
    ShowRun r = Show(args);
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("zibrolt-show: ", 0), 0u) << r.err;
  }
  EXPECT_NE(Show("MGDNL99P f.dnl").err.find("unknown download function MGDNL99P"),
            std::string::npos);
  EXPECT_NE(Show("MGDNL31P nosuch.dnl").err.find("cannot open nosuch.dnl"), std::string::npos);
  // "--" lets a file whose name starts with a dash through; an empty file is sound.
  Write("-empty.dnl", "");
  ShowRun r = Show("--check -- MGDNL31P -empty.dnl");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.err, "-empty.dnl: 0 records of MGDNL31P, sound\n");
}

TEST_F(ShowTool, HelpAndVersionOnStandardOutput) {
  for (const char* args : {"--help", "-h", "MGDNL31P --help", "--csv --help"}) {
    SCOPED_TRACE(args);
    ShowRun r = Show(args);
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out.rfind("Usage: zibrolt-show ", 0), 0u) << r.out;
    EXPECT_EQ(r.err, "");
  }
  ShowRun r = Show("--version");
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(r.out, zibrolt::VersionLine("zibrolt-show") + "\n");

  for (const char* args : {"--help", "--help show x.ini", "--version"}) {
    SCOPED_TRACE(args);
    const auto s = test::Shell(std::string("'" ZIBROLT_SETTINGS_BIN "' ") + args, dir_);
    EXPECT_EQ(s.exitStatus, 0);
    EXPECT_EQ(s.output.rfind(args[2] == 'h' ? "Usage: zibrolt-settings " : "zibrolt-settings ", 0),
              0u)
        << s.output;
  }
}

}  // namespace
}  // namespace zibrolt
