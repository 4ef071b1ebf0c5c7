// zibrolt-settings: writes the settings file that zibrolt reads its database login from, and
// shows what such a file holds (the password masked).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "frame/cipher.hpp"
#include "frame/run_driver.hpp"
#include "frame/settings.hpp"
#include "frame/version.hpp"
#include "tools/settings/encipher.hpp"

namespace {

void Usage(std::FILE* to) {
  std::fprintf(to,
               "Usage: zibrolt-settings write FILE --login NAME --password PASS|- --net NET8\n"
               "                              [--db-system TEXT] --schema SCHEMA\n"
               "       zibrolt-settings show FILE\n"
               "\n"
               "write  writes the five records LOGIN, PASS, NET8, DB_SYSTEM and SCHEMA, each\n"
               "       value enciphered, with CR LF line ends. --password - reads the password\n"
               "       from the first line of standard input. NET8 is an ODBC data source name,\n"
               "       or sqlite:PATH for an embedded database file (PATH may be relative to\n"
               "       zibrolt's working directory). --db-system names the database system for\n"
               "       the installation's other programs; zibrolt reads it and uses it for\n"
               "       nothing (default ORACLE).\n"
               "       zibrolt takes at most %zu characters of login, password and NET8, %zu of\n"
               "       --db-system and %zu of --schema; longer values are refused and nothing\n"
               "       is written.\n"
               "show   prints the values zibrolt will use, the password masked, and fails with\n"
               "       zibrolt's own line where zibrolt would refuse the file (cannot be opened,\n"
               "       no settings file, a value too long, no SCHEMA).\n"
               "\n"
               "zibrolt reads the file as ../../files/quarvenda.ini from its working directory.\n",
               zibrolt::kLoginMax, zibrolt::kDbSystemMax, zibrolt::kSchemaMax);
}

// Control bytes of a garbled value would reach the terminal as escape sequences.
std::string Printable(std::string_view value) {
  std::string shown;
  for (unsigned char c : value) {
    if (c >= 0x20 && c != 0x7F) {
      shown.push_back(static_cast<char>(c));
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
    shown += escaped;
  }
  return shown;
}

int Write(int argc, char** argv) {
  const std::string file = argv[2];
  std::string login, password, net, dbSystem = "ORACLE", schema;
  bool haveLogin = false, havePassword = false, haveNet = false, haveSchema = false;
  for (int i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) {
      std::fprintf(stderr, "zibrolt-settings: %s needs a value\n", argv[i]);
      return 2;
    }
    std::string_view opt = argv[i];
    std::string value = argv[i + 1];
    if (opt == "--login")
      login = value, haveLogin = true;
    else if (opt == "--password")
      password = value, havePassword = true;
    else if (opt == "--net")
      net = value, haveNet = true;
    else if (opt == "--db-system")
      dbSystem = value;
    else if (opt == "--schema")
      schema = value, haveSchema = true;
    else {
      std::fprintf(stderr, "zibrolt-settings: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (!haveLogin || !havePassword || !haveNet || !haveSchema || schema.empty()) {
    std::fprintf(stderr, "zibrolt-settings: --login, --password, --net and --schema are needed\n");
    return 2;
  }
  if (password == "-" && !std::getline(std::cin, password)) password.clear();
  struct Record {
    const char* key;
    const char* option;
    const std::string& value;
    std::size_t max;  // what zibrolt takes of the value
  };
  const Record records[] = {{"LOGIN", "--login", login, zibrolt::kLoginMax},
                            {"PASS", "--password", password, zibrolt::kPasswordMax},
                            {"NET8", "--net", net, zibrolt::kNetMax},
                            {"DB_SYSTEM", "--db-system", dbSystem, zibrolt::kDbSystemMax},
                            {"SCHEMA", "--schema", schema, zibrolt::kSchemaMax}};
  // Refused here rather than at zibrolt's next run, and before the old file is emptied.
  for (const Record& r : records) {
    if (r.value.size() <= r.max) continue;
    const bool sqlitePath = r.value.rfind("sqlite:", 0) == 0 && r.key == std::string_view("NET8");
    std::fprintf(
        stderr,
        "zibrolt-settings: %s is %zu characters long, zibrolt takes at most %zu for %s%s;"
        " nothing written\n",
        r.option, r.value.size(), r.max, r.key,
        sqlitePath ? " (a sqlite: path may be relative to zibrolt's working directory)" : "");
    return 2;
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  int number = 1;
  for (const Record& r : records) {
    // zibrolt drops the last character of the stored schema; a blank keeps the name whole.
    const std::string stored = r.key == std::string_view("SCHEMA") ? r.value + " " : r.value;
    // Each record's heading names a section, so that no record matches every lookup.
    out << "[DATENBANK];DATENBANK;" << r.key << "\r\n"
        << number++ << ';' << r.key << ';' << zibrolt::EncryptValue(stored, zibrolt::kSettingsKey)
        << "\r\n";
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "zibrolt-settings: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}

// zibrolt's own reading of the file, so that show refuses exactly what a run refuses, in the
// run's words (on standard error), and shows the values as the run takes them.
int Show(const std::string& file) {
  zibrolt::Login login;
  if (!zibrolt::ReadLogin(stderr, login, file.c_str())) return 1;
  const struct {
    const char* key;
    std::string value;
  } shown[] = {{"LOGIN", login.name},
               {"PASS", login.password.empty() ? "" : "********"},
               {"NET8", login.net},
               {"DB_SYSTEM", login.dbSystem},
               {"SCHEMA", login.schema}};
  for (const auto& s : shown) std::printf("%-10s %s\n", s.key, Printable(s.value).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // As with other command-line tools, --help and --version win over whatever follows them.
  if (argc >= 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    Usage(stdout);
    return 0;
  }
  if (argc >= 2 && std::string_view(argv[1]) == "--version") {
    std::printf("%s\n", zibrolt::VersionLine("zibrolt-settings").c_str());
    return 0;
  }
  if (argc >= 3 && std::string_view(argv[1]) == "write") return Write(argc, argv);
  if (argc == 3 && std::string_view(argv[1]) == "show") return Show(argv[2]);
  Usage(stderr);
  return 2;
}
