// zibrolt-settings: writes the settings file that zibrolt reads its database login from, and
// shows what such a file holds (the password masked).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "frame/cipher.hpp"
#include "frame/settings.hpp"
#include "tools/settings/encipher.hpp"
#include "zibrolt_version.hpp"

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
               "       or sqlite:PATH for an embedded database file.\n"
               "show   prints the values zibrolt will use, the password masked.\n"
               "\n"
               "zibrolt reads the file as ../../files/quarvenda.ini from its working directory.\n");
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
  // zibrolt drops the last character of the stored schema; a blank keeps the name whole.
  const std::pair<const char*, std::string> records[] = {{"LOGIN", login},
                                                         {"PASS", password},
                                                         {"NET8", net},
                                                         {"DB_SYSTEM", dbSystem},
                                                         {"SCHEMA", schema + " "}};
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  int number = 1;
  for (const auto& [key, value] : records) {
    // Each record's heading names a section, so that no record matches every lookup.
    out << "[DATENBANK];DATENBANK;" << key << "\r\n"
        << number++ << ';' << key << ';' << zibrolt::EncryptValue(value, zibrolt::kSettingsKey)
        << "\r\n";
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "zibrolt-settings: cannot write %s\n", file.c_str());
    return 1;
  }
  return 0;
}

int Show(const std::string& file) {
  zibrolt::SettingsEntry entry;
  for (const char* key : {"LOGIN", "PASS", "NET8", "DB_SYSTEM", "SCHEMA"}) {
    if (!zibrolt::ReadIniEntry("", key, 0, file, entry)) {
      std::fprintf(stderr, "zibrolt-settings: cannot read %s\n", file.c_str());
      return 1;
    }
    std::string shown = entry.value;
    if (std::strcmp(key, "PASS") == 0) shown = shown.empty() ? "" : "********";
    if (std::strcmp(key, "SCHEMA") == 0 && !shown.empty()) shown.pop_back();
    std::printf("%-10s %s\n", key, shown.c_str());
  }
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
    std::printf("zibrolt-settings %s\n", zibrolt::kZibroltVersion);
    return 0;
  }
  if (argc >= 3 && std::string_view(argv[1]) == "write") return Write(argc, argv);
  if (argc == 3 && std::string_view(argv[1]) == "show") return Show(argv[2]);
  Usage(stderr);
  return 2;
}
