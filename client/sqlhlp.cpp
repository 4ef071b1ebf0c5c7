// The rules every backend's statements follow, kept here once: input and row buffers, values
// cut to their buffer, the status of a cursor that is not open, "no row" again after the end,
// and one prepared statement per text for the whole run.
#include "client/sqlhlp.hpp"

#include <algorithm>
#include <climits>

#include "backends/registry.hpp"
#include "client/fault_injection.hpp"

namespace zibrolt::sqlhlp {

Statement::Statement(std::unique_ptr<backend::Statement> prepared, int prepareStatus,
                     std::span<const Column> outputs, std::string_view text, Counters& counters)
    : prepared_(std::move(prepared)),
      prepareStatus_(prepared_ || prepareStatus != kOk ? prepareStatus : -1),
      outputs_(outputs.begin(), outputs.end()),
      text_(text),
      counters_(counters),
      row_(outputs.size()),
      ints_(outputs.size()) {}

void Statement::BindText(int index, std::string_view value, std::string_view exact) {
  if (index < 0) return;
  if (static_cast<std::size_t>(index) >= binds_.size()) binds_.resize(index + 1);
  backend::Bind& b = binds_[index];
  b.isInt = false;
  b.text.assign(value);
  b.exact.assign(exact);
}

void Statement::BindInt(int index, std::int32_t value) {
  if (index < 0) return;
  if (static_cast<std::size_t>(index) >= binds_.size()) binds_.resize(index + 1);
  binds_[index].isInt = true;
  binds_[index].number = value;
}

bool Statement::Hit(bool fetch) const {
#ifdef ZIBROLT_FAULT_SEAM
  return faults::Hit(fetch ? faults::Point::kFetch : faults::Point::kExecute, text_);
#else
  (void)fetch;
  return false;
#endif
}

int Statement::Run(backend::Reading reading) {
  ++counters_.executions;
  open_ = false;
  endStatus_ = kOk;
  if (prepareStatus_ != kOk) return prepareStatus_;
  if (Hit(false)) return faults::kInjectedStatus;
  return prepared_->Run(binds_, reading);
}

int Statement::Execute() {
  const int status = Run(backend::Reading::kNone);
  if (prepared_) prepared_->Reset();
  return status;
}

int Statement::SelectOne() {
  int status = Run(backend::Reading::kSingleRow);
  if (status != kOk) return status;
  status = prepared_->Next(&row_);
  if (status == kOk) {
    TakeRow();
    // The second row is only looked for; the first one stays in the outputs.
    const int second = prepared_->Next(nullptr);
    status = second == kOk ? kTooManyRows : second == kNoRow ? kOk : second;
  }
  prepared_->Reset();
  return status;
}

int Statement::Open() { return Open(backend::Reading::kCursor); }

int Statement::OpenList() { return Open(backend::Reading::kList); }

int Statement::Open(backend::Reading reading) {
  const int status = Run(reading);
  open_ = status == kOk;
  return status;
}

int Statement::Fetch() {
  ++counters_.fetches;
  if (prepareStatus_ != kOk) return prepareStatus_;
  if (!open_) return kInvalidCursor;
  // A further step of some databases would run the query again; Oracle keeps answering.
  if (endStatus_ != kOk) return endStatus_;
  if (Hit(true)) return faults::kInjectedStatus;
  const int status = prepared_->Next(&row_);
  if (status == kOk)
    TakeRow();
  else
    endStatus_ = status;
  return status;
}

int Statement::Close() {
  if (prepareStatus_ != kOk) return prepareStatus_;
  if (!open_) return kInvalidCursor;
  open_ = false;
  prepared_->Reset();
  return kOk;
}

void Statement::TakeRow() {
  for (std::size_t c = 0; c < outputs_.size(); ++c) {
    if (outputs_[c].kind == Column::kUnread) continue;
    if (outputs_[c].kind == Column::kInt) {
      const std::int64_t v = row_.ints[c];
      ints_[c] = static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
      continue;
    }
    // Oracle hands a column to a fixed buffer cut to its size less the terminator.
    const auto limit = static_cast<std::size_t>(std::max(outputs_[c].capacity - 1, 0));
    if (row_.texts[c].size() > limit) {
      // The cut value is not the database's: what compares it must see the whole one.
      if (row_.exact[c].empty()) {
        row_.exact[c].push_back(backend::kExactCut);
        row_.exact[c].append(row_.texts[c]);
      }
      row_.texts[c].resize(limit);
    }
  }
}

Connection::Connection(std::unique_ptr<backend::Connection> backend)
    : backend_(std::move(backend)) {}

const backend::JoinProof& Connection::ProveExactJoin(const backend::KeyColumn& a,
                                                     const backend::KeyColumn& b) {
  std::string key;
  for (std::string_view part : {a.table, a.column, b.table, b.column})
    key.append(part).push_back(' ');
  const auto found = joins_.find(key);
  if (found != joins_.end()) return found->second;
  return joins_.emplace(key, backend_->ProveExactJoin(a, b)).first->second;
}

bool Connection::ViewKept() {
#ifdef ZIBROLT_FAULT_SEAM
  // Ended at the nth look, for good, as the database ends it after an error.
  if (faults::Hit(faults::Point::kViewLost)) viewLost_ = true;
#endif
  return !viewLost_ && backend_->ViewKept();
}

namespace {

// The key is the text and the outputs' buffers: the same text read into other buffers is
// another statement.
std::string StatementKey(const Query& query) {
  std::string key(query.text);
  for (const Column& c : query.outputs) {
    key += c.kind == Column::kInt ? "|i" : c.kind == Column::kUnread ? "|u" : "|t";
    key += std::to_string(c.capacity);
  }
  return key;
}

}  // namespace

void Connection::Release(const Query& query) { statements_.erase(StatementKey(query)); }

std::vector<std::string_view> Connection::PreparedTexts() const {
  std::vector<std::string_view> texts;
  for (const auto& [key, statement] : statements_) texts.push_back(statement->Text());
  return texts;
}

Statement& Connection::Use(const Query& query) {
  std::string key = StatementKey(query);
  auto found = statements_.find(key);
  if (found != statements_.end()) return *found->second;
  ++counters_.prepares;
  int status = kOk;
  std::unique_ptr<backend::Statement> prepared =
      backend_->Prepare(query.text, query.outputs, status);
  auto [at, inserted] = statements_.emplace(std::move(key), nullptr);
  at->second = std::make_unique<Statement>(std::move(prepared), status, query.outputs,
                                           std::string_view(at->first).substr(0, query.text.size()),
                                           counters_);
  return *at->second;
}

int ConnectDatabase(std::string_view login, std::string_view password, std::string_view net,
                    std::string_view schema, std::unique_ptr<Connection>& connection,
                    std::string* driverState) {
  std::string_view target;
  const backend::Registration& chosen = backend::BackendFor(net, target);
  std::unique_ptr<backend::Connection> opened;
  std::string state;
  int status = chosen.connect(target, login, password, opened, state);
  if (status == kOk) {
    connection = std::make_unique<Connection>(std::move(opened));
    status = connection->SwitchSchema(schema);
    state = connection->DriverState(status);
  }
  if (driverState) *driverState = status == kOk ? std::string() : state;
  return status;
}

}  // namespace zibrolt::sqlhlp
