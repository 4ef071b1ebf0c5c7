// The production backend: an ODBC data source (Oracle through its ODBC driver and unixODBC; in
// the tests an SQLite file through the SQLite ODBC driver).
#pragma once
#include <memory>
#include <string_view>

#include "frame/sqlhlp.hpp"

namespace zibrolt::sqlhlp {

// Status of a failure that carries no native error number (an unknown data source, a missing
// driver, any other error of the driver manager itself): Oracle's "could not resolve the
// connect identifier".
inline constexpr int kNoDataSource = -12154;

// Connects to the data source with login and password as separate values, then starts the one
// read-only transaction the whole run reads in. Returns the status of the first failing step.
int ConnectOdbc(std::string_view dataSource, std::string_view login, std::string_view password,
                std::unique_ptr<Connection>& connection);

}  // namespace zibrolt::sqlhlp
