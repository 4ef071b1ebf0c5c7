// The terminal's own row and the count of its active client/licence assignments.
#include "data/terminal.hpp"

#include "data/statements.hpp"

namespace zibrolt {
namespace {

using sqlhlp::Int;
using sqlhlp::Text;

constexpr sqlhlp::Column kTerminalColumns[] = {Text(11), Text(11)};
constexpr sqlhlp::Query kTerminalQuery{
    "select TRMMOD ,TRMSAL into :b0:b1,:b2:b3  from Korvadat.Kvd1140Trm where (TrmNam=:b4 and "
    "((TrmSta<>4 and TrmSta<>8) or TrmSta is null ))",
    kTerminalColumns};

constexpr sqlhlp::Column kTerminalCountColumns[] = {Int()};
constexpr sqlhlp::Query kAssignmentCountQuery{
    "select count(*)  into :b0:b1  from Korvadat.Kvd115Tfz where (TfzTrm=:b2 and ((TfzSta<>4 "
    "and TfzSta<>8) or TfzSta is null ))",
    kTerminalCountColumns};

constexpr sqlhlp::Query kTerminalRowCount{
    "select count(*)  into :b0:b1  from Korvadat.Kvd1140Trm where TrmNam=:b2", kTerminalCountColumns};

}  // namespace

int TerminalRowExists(sqlhlp::Connection& db, std::string_view name, bool& exists) {
  sqlhlp::Statement& count = db.Use(kTerminalRowCount);
  count.BindText(0, name);
  const int status = count.SelectOne();
  if (status == sqlhlp::kOk) exists = count.GetInt(0) > 0;
  return status;
}

int LoadTerminalContext(sqlhlp::Connection& db, TerminalRecord& terminal) {
  sqlhlp::Statement& row = db.Use(kTerminalQuery);
  row.BindText(0, terminal.name);
  int status = row.SelectOne();
  if (status != sqlhlp::kOk) return status;
  terminal.TRMMOD = row.GetText(0);
  terminal.TRMSAL = row.GetText(1);

  sqlhlp::Statement& count = db.Use(kAssignmentCountQuery);
  count.BindText(0, terminal.name);
  status = count.SelectOne();
  if (status == sqlhlp::kOk) terminal.assignmentCount = count.GetInt(0);
  return status;
}

void ListTerminalStatements(std::vector<ListedStatement>& out) {
  out.push_back(Listed("Terminal", kTerminalQuery));
  out.push_back(Listed("Terminalzuordnungen", kAssignmentCountQuery));
  out.push_back(Listed("Terminal vorhanden", kTerminalRowCount));
  out.push_back(Listed("Alle Terminals (zibrolt-site --make-jobs)", kAllTerminals));
}

}  // namespace zibrolt
