// The password is never shown: a preflight's lines are pasted into tickets and mails.
#include "tools/check/login.hpp"

#include "frame/run_driver.hpp"
#include "frame/settings.hpp"
#include "text/ascii_case.hpp"
#include "text/control.hpp"

namespace zibrolt::check {

bool ReadLogin(const std::string& path, Report& report, Login& login) {
  struct Setting {
    const char* key;
    std::string* value;
    std::size_t max;
  };
  std::string dbSystem;
  const Setting settings[] = {{"LOGIN", &login.name, kLoginMax},
                              {"PASS", &login.password, kPasswordMax},
                              {"NET8", &login.net, kNetMax},
                              {"DB_SYSTEM", &dbSystem, kDbSystemMax},
                              {"SCHEMA", &login.schema, kSchemaStoredMax}};
  SettingsEntry entry;
  for (const Setting& s : settings) {
    if (!ReadIniEntry("", s.key, 0, path, entry)) {
      report.Fail("Einstellungsdatei " + path + " nicht lesbar");
      return false;
    }
    if (entry.value.size() > s.max) {
      report.Fail("Einstellung " + std::string(s.key) +
                  " zu lang: " + std::to_string(entry.value.size()) +
                  " Zeichen, erlaubt sind hoechstens " + std::to_string(s.max));
      return false;
    }
    *s.value = std::move(entry.value);
  }
  if (login.schema.empty()) {
    report.Fail("Einstellung SCHEMA fehlt in " + path);
    return false;
  }
  // The stored schema carries one character more than the name.
  login.schema.pop_back();
  StrUpper(login.schema);
  report.Ok("Einstellungen aus " + path + ": Login " + login.name + ", NET8 " + login.net +
            ", Schema " + login.schema);
  return true;
}

std::unique_ptr<sqlhlp::Connection> Connect(const Login& login, Report& report) {
  std::unique_ptr<sqlhlp::Connection> db;
  std::string driverState;
  const int status = sqlhlp::ConnectDatabase(login.name, login.password, login.net, login.schema,
                                             db, &driverState);
  if (status != sqlhlp::kOk) {
    report.Fail("Verbindung zur Datenbank fehlgeschlagen, " + StatusText(status, driverState));
    return nullptr;
  }
  report.Ok("Mit Datenbank verbunden, Schema " + login.schema);
  return db;
}

}  // namespace zibrolt::check
