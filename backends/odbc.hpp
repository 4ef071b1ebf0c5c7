// The production backend: an ODBC data source (Oracle through its ODBC driver and unixODBC; in
// the tests an SQLite file through the SQLite ODBC driver).
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "backends/contract.hpp"

namespace zibrolt::backend {

// Status of a failure to connect that carries no native error number (an unknown data source,
// a driver that cannot be loaded, any other error of the driver manager itself): Oracle's
// "could not resolve the connect identifier", which is where a site looks first.
inline constexpr int kNoDataSource = -12154;

// Status of a failure after the connect that carries no native error number (a driver's own
// error such as a timeout or a numeric overflow). Oracle's numbers have at most five digits,
// so this one is never Oracle's; the run prints the failure's SQLSTATE beside it.
inline constexpr int kDriverError = -100001;

// What a connection to Oracle sends of its own before the run's statements: the read-only
// transaction, and the schema switch with the settings' schema appended.
inline constexpr std::string_view kOracleReadOnly = "SET TRANSACTION READ ONLY";
inline constexpr std::string_view kOracleSchemaSwitch = "ALTER SESSION SET CURRENT_SCHEMA=";

// Connects to the data source with login and password as separate values, then starts the one
// read-only transaction the whole run reads in. Returns the status of the first failing step.
int ConnectOdbc(std::string_view dataSource, std::string_view login, std::string_view password,
                std::unique_ptr<Connection>& connection, std::string& driverState);

}  // namespace zibrolt::backend
