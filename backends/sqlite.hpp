// The embedded database backend: an SQLite file that holds the installation's tables, read
// through the Oracle statement texts with Oracle's functions and NULL order emulated.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "backends/contract.hpp"

namespace zibrolt::backend {

// A database that holds none of the installation's tables (an empty path, an empty or a
// foreign file): Oracle's "table or view does not exist". It fails the connect, so that no run
// blames the terminal or the badge list for it.
inline constexpr int kNoInstallation = -942;

// Opens the file read-only (a missing file is a failed connect, never a new database) and
// starts the one read transaction the whole run reads in. Login and password are not used.
int ConnectSqlite(std::string_view path, std::string_view login, std::string_view password,
                  std::unique_ptr<Connection>& connection, std::string& driverState);

}  // namespace zibrolt::backend
