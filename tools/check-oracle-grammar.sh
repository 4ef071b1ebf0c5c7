#!/usr/bin/env bash
# Parses every statement zibrolt and zibrolt-check can send, as "zibrolt-check --statements" lists
# them, with a public Oracle (PL/SQL) grammar, and parses known-bad statements that must be
# rejected (tools/oracle-grammar/controls.sql and a broken copy of the longest window form).
# No Oracle server is needed: a statement that would not parse fails here, not at a site.
#
#   tools/check-oracle-grammar.sh [PATH-TO-ZIBROLT-CHECK]   (default build/zibrolt-check)
#
# Builds nothing. Installs Node.js and npm from Debian when they are missing (as root; otherwise
# it names them), and the grammar's npm packages at the versions and checksums of
# tools/oracle-grammar/package-lock.json. ZIBROLT_GRAMMAR_JOBS sets the number of parsers run at
# once (default: one per core). Exit status: 0 when every statement parses and every control is
# rejected, 1 otherwise, 2 when it could not run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
check="${1:-$root/build/zibrolt-check}"
grammar="$root/tools/oracle-grammar"

if [ ! -x "$check" ]; then
  echo "tools/check-oracle-grammar.sh: $check not found; build first (tools/build.sh)" >&2
  exit 2
fi

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Please install these Debian packages first (as root):" >&2
    echo "  apt-get install nodejs npm" >&2
    exit 2
  fi
  missing=()
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# npm ci installs exactly what the lock file names and checks each package's checksum; it runs
# again only when the lock file changed since the last install here.
stamp="$grammar/node_modules/.installed-lock.json"
if ! cmp -s "$grammar/package-lock.json" "$stamp" 2>/dev/null; then
  (cd "$grammar" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
  cp "$grammar/package-lock.json" "$stamp"
fi

statements="$(mktemp)"
trap 'rm -f "$statements"' EXIT
if ! "$check" --statements >"$statements"; then
  echo "tools/check-oracle-grammar.sh: $check --statements failed" >&2
  exit 2
fi
node "$grammar/parse.js" --jobs "${ZIBROLT_GRAMMAR_JOBS:-$(nproc)}" \
  --controls "$grammar/controls.sql" "$statements"
