// ODBC backend of the client layer (not built yet: every data source is unknown).
#include "frame/odbc_client.hpp"

namespace zibrolt::sqlhlp {

int ConnectOdbc(std::string_view, std::string_view, std::string_view,
                std::unique_ptr<Connection>&) {
  return kNoDataSource;
}

}  // namespace zibrolt::sqlhlp
