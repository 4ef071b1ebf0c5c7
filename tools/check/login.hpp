// The login zibrolt itself reads: the same settings file, keys, length limits and schema rule,
// so that a preflight that connects proves that the nightly runs will connect too.
#pragma once
#include <memory>
#include <string>

#include "client/sqlhlp.hpp"
#include "tools/check/report.hpp"

namespace zibrolt::check {

struct Login {
  std::string name, password, net, schema;
};

// Reads the settings at path; false (with its FAIL line) when zibrolt would stop there too.
bool ReadLogin(const std::string& path, Report& report, Login& login);

// Connects as zibrolt does; null (with its FAIL line) when that fails.
std::unique_ptr<sqlhlp::Connection> Connect(const Login& login, Report& report);

}  // namespace zibrolt::check
