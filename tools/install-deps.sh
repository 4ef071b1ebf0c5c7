#!/usr/bin/env bash
# Installs the Debian packages that building, the demo and the tests need. As root it runs
# apt-get; otherwise it names what is missing.
set -euo pipefail

packages=(
  build-essential cmake   # compiler and build
  libsqlite3-dev sqlite3  # the embedded database: library, and the shell that builds demo files
  libgtest-dev            # unit and integration tests
  unixodbc-dev            # the ODBC backend (Oracle at sites)
)
if [ "${1:-}" = "--tests" ]; then
  packages+=(
    unixodbc libsqliteodbc          # the same tests through an ODBC data source
    clang libclang-rt-14-dev        # fuzzing (libFuzzer) and the sanitizer runtime
  )
fi

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
