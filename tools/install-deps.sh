#!/usr/bin/env bash
# Installs the Debian packages that building, the demo and the tests need, group by group, so
# that a quick test run does not fetch the fuzzing toolchain. As root it runs apt-get; otherwise
# it names what is missing.
#
#   tools/install-deps.sh [--tests] [--fuzz] [--windows] [--windows-tests] [--wine] [--package]
#
# Without options: building and the demo. --tests: the unit tests and their ODBC pass (the GCC
# sanitizer pass needs nothing more). --fuzz: clang and libFuzzer. --windows: the cross compiler
# and npm, which fetches SQLite's amalgamation; --windows-tests: GoogleTest's sources for it;
# --wine: what runs those tests and programs here.
# --package: what the Debian package and the Windows zip are made and checked with.
set -euo pipefail

packages=(
  build-essential cmake   # compiler and build
  libsqlite3-dev sqlite3  # the embedded database: library, and the shell that builds demo files
  libgtest-dev            # the test programs, built with everything else
  unixodbc-dev            # the ODBC backend (Oracle at sites)
)
for group in "$@"; do
  case "$group" in
    --tests) packages+=(unixodbc libsqliteodbc) ;;  # the tests' second pass, through ODBC
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;  # libFuzzer and clang's sanitizer runtime
    --windows)
      packages+=(g++-mingw-w64-x86-64-posix)
      command -v npm >/dev/null || packages+=(npm) ;;  # any npm will do, Debian's or another
    --windows-tests) packages+=(googletest) ;;
    --wine) packages+=(wine64) ;;
    # manual pages from --help, the package's checks, the zip, and checking the scheduler examples
    --package) packages+=(help2man dpkg-dev lintian zip unzip libxml2-utils systemd man-db) ;;
    *) echo "tools/install-deps.sh: unknown option $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Please install these Debian packages first (as root):" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
