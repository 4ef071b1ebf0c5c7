// The production backend: an ODBC data source (Oracle through its ODBC driver and unixODBC).
#pragma once
#include <memory>
#include <string_view>

#include "frame/sqlhlp.hpp"

namespace zibrolt::sqlhlp {

// Status of a connect that fails without a native error number (an unknown data source, a
// missing driver): Oracle's "could not resolve the connect identifier".
inline constexpr int kNoDataSource = -12154;

int ConnectOdbc(std::string_view dataSource, std::string_view login, std::string_view password,
                std::unique_ptr<Connection>& connection);

}  // namespace zibrolt::sqlhlp
