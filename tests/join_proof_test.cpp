// Comparing in the program what the database compares: which texts keep their identity in
// Windows-1252 (the rest are compared by their exact forms), and when the catalog proves that two
// key columns compare byte for byte: an Oracle catalog read from a fake, the embedded one as the
// tests' installations have it.
#include "backends/join_proof.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backends/sqlite.hpp"
#include "data/checks.hpp"
#include "data/client_filter.hpp"
#include "tests/harness.hpp"
#include "text/cp1252.hpp"

namespace zibrolt::test {
namespace {

TEST(ExactText, OnlyCharactersWithAByteOfTheirOwnAreExact) {
  const struct {
    std::string_view utf8;  // with its length: a value may be cut inside a character
    const char* bytes;
    bool exact;
  } kCases[] = {
      {"A\xC3\xA4\xE2\x82\xAC\xC5\xB8", "A\xE4\x80\x9F", true},  // a umlaut, euro, Y diaeresis
      {"A\xC2\x80", "A\x80", false},                             // U+0080: the euro's byte
      {"A\xC2\x9F|\xC2\x81", "A\x9F|\x81", false},               // controls keep their bytes
      {"A\xCE\xBB", "A?", false},                                // lambda has no byte
      {"A?", "A?", true},                                        // a question mark is one
      {"A\xFF", "A?", false},                                    // no UTF-8 at all
      {std::string_view("A\xC3\xA4", 2), "A?", false},           // cut inside a character
      {std::string_view("\xE2\x82\xAC", 2), "??", false},
      {"\xC1\x81|\xE0\x82\xA4", "??|???", false},  // overlong forms of A and U+00A4
  };
  for (const auto& c : kCases) {
    std::string narrow;
    EXPECT_EQ(Utf8ToCp1252(c.utf8, narrow), c.exact) << c.utf8;
    EXPECT_BYTES(std::string(c.bytes), narrow);
  }
  std::string narrow;
  EXPECT_FALSE(Utf16ToCp1252(u"\u0080\u20AC", narrow));
  EXPECT_BYTES(std::string("\x80\x80"), narrow);
}

// An Oracle catalog as a table: the answer row of each query, by its inputs.
class FakeCatalog final : public backend::Connection {
 public:
  std::map<std::string, backend::Row> answers;  // by the inputs, joined with '|'

  std::unique_ptr<backend::Statement> Prepare(std::string_view, std::span<const backend::Column>,
                                              int& status) override {
    status = backend::kOk;
    return std::make_unique<Query>(*this);
  }
  int SwitchSchema(std::string_view) override { return backend::kOk; }
  bool PrefersBatches() const override { return true; }

 private:
  class Query final : public backend::Statement {
   public:
    explicit Query(FakeCatalog& catalog) : catalog_(catalog) {}
    int Run(std::span<const backend::Bind> binds, backend::Reading) override {
      key_.clear();
      for (const backend::Bind& b : binds) key_ += b.text + "|";
      return backend::kOk;
    }
    int Next(backend::Row* row) override {
      const auto found = catalog_.answers.find(key_);
      if (found == catalog_.answers.end()) return -942;  // not granted
      *row = found->second;
      return backend::kOk;
    }
    void Reset() override {}

   private:
    FakeCatalog& catalog_;
    std::string key_;
  };
};

backend::Row Column(const char* type, int bytes, int chars, const char* unit) {
  backend::Row row(4);
  row.texts = {type, "", "", unit};
  row.ints = {0, bytes, chars, 0};
  row.nulls = {0, 0, 0, 0};
  return row;
}

backend::Row Setting(const char* value) {
  backend::Row row(1);
  row.texts = {value};
  row.nulls = {0};
  return row;
}

TEST(JoinProof, OracleCatalogAndSessionDecide) {
  const backend::Row varchar = Column("VARCHAR2", 5, 5, "B"), char5 = Column("CHAR", 5, 5, "B"),
                     char6 = Column("CHAR", 6, 6, "B"), number = Column("NUMBER", 22, 0, ""),
                     nvarchar = Column("NVARCHAR2", 10, 5, "C"),
                     wide = Column("VARCHAR2", 4000, 4000, "B");
  const struct {
    const char* name;
    backend::Row a, b;
    const char* comp;  // NLS_COMP, nullptr: not readable
    const char* sort;
    bool exact;
  } kCases[] = {
      {"two VARCHAR2, binary", varchar, varchar, "BINARY", "GERMAN", true},
      {"two CHAR of one length", char5, char5, "BINARY", "BINARY", true},
      {"CHAR and VARCHAR2 compare without padding", char5, varchar, "BINARY", "BINARY", false},
      {"CHAR of two lengths are padded", char5, char6, "BINARY", "BINARY", false},
      {"a NUMBER compares as a number", number, varchar, "BINARY", "BINARY", false},
      {"VARCHAR2 and NVARCHAR2", varchar, nvarchar, "BINARY", "BINARY", false},
      {"longer than the program's buffers", wide, wide, "BINARY", "BINARY", false},
      {"linguistic comparison", varchar, varchar, "LINGUISTIC", "GERMAN_CI", false},
      {"linguistic with a binary sort", varchar, varchar, "LINGUISTIC", "BINARY", true},
      {"settings not readable", varchar, varchar, nullptr, nullptr, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    FakeCatalog catalog;
    catalog.answers["MGSST35P|M35BKL|"] = c.a;
    catalog.answers["KVD301AWB|AWBBKL|"] = c.b;
    if (c.comp) catalog.answers["NLS_COMP|"] = Setting(c.comp);
    if (c.sort) catalog.answers["NLS_SORT|"] = Setting(c.sort);
    const backend::JoinProof proof =
        backend::ProveOracleJoin(catalog, {"MGSST35P", "M35BKL"}, {"KVD301AWB", "AWBBKL"});
    EXPECT_EQ(proof.exact, c.exact) << proof.reason;
    EXPECT_NE(proof.reason.find("MGSST35P.M35BKL"), std::string::npos) << proof.reason;
  }
  FakeCatalog missing;
  EXPECT_FALSE(backend::ProveOracleJoin(missing, {"MGSST35P", "M35BKL"}, {"KVD301AWB", "AWBBKL"})
                   .exact);
}

// The embedded database's catalog.
TEST(JoinProof, EmbeddedCatalogDecides) {
  const struct {
    const char* name;
    const char* sql;
    bool classes, clients;  // the class join and the client join proven
  } kCases[] = {
      {"the schema's own types", "", true, true},
      {"a class column of numbers beside text",
       "DROP TABLE Kvd301Awb; CREATE TABLE Kvd301Awb (AWBASW TEXT, AWBBKL INTEGER);", false, true},
      {"a collation of its own",
       "DROP TABLE MGSST35P; CREATE TABLE MGSST35P (M35Trm TEXT, M35Bkl TEXT COLLATE NOCASE,"
       " M35Bch TEXT);",
       false, true},
      {"a client column of text beside numbers",
       "DROP TABLE Kvd115Tfz; CREATE TABLE Kvd115Tfz (TfzTrm TEXT, TFZMND TEXT, TFZLIZ INTEGER,"
       " TfzSta INTEGER);",
       true, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Installation inst(c.sql);
    // On the file itself: a connection per installation. Through ODBC the same proof is made in
    // the MGDNL31P runs on altered class tables.
    std::unique_ptr<backend::Connection> opened;
    std::string state;
    ASSERT_EQ(backend::ConnectSqlite(inst.database().string(), "", "", opened, state), 0);
    sqlhlp::Connection db(std::move(opened));
    const backend::JoinProof& classes = ClassJoinInProgram(db);
    EXPECT_EQ(classes.exact, c.classes) << classes.reason;
    EXPECT_EQ(ClientFilter::InProgram(db), c.clients);
  }
}

}  // namespace
}  // namespace zibrolt::test
