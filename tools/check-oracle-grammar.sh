#!/usr/bin/env bash
# Parses every statement zibrolt and zibrolt-check can send, as "zibrolt-check --statements" lists
# them, with a public Oracle (PL/SQL) grammar, and parses known-bad statements that must be
# rejected (tools/oracle-grammar/controls.sql and a broken copy of the longest window form).
# No Oracle server is needed: a statement that would not parse fails here, not at a site.
#
#   tools/check-oracle-grammar.sh [--if-changed] [PATH-TO-ZIBROLT-CHECK]
#                                     (default build/zibrolt-check)
#
# --if-changed parses only when the statements or the grammar's files differ from those last
# parsed here without a failure, which tools/oracle-grammar/parsed.sha256 records (commit it with
# the statements that changed it): the parse is a function of nothing else.
#
# Builds nothing. Installs Node.js and npm from Debian when they are missing (as root; otherwise
# it names them), and the grammar's npm packages at the versions and checksums of
# tools/oracle-grammar/package-lock.json. ZIBROLT_GRAMMAR_JOBS sets the number of parsers run at
# once (default: one per core). Exit status: 0 when every statement parses and every control is
# rejected, 1 otherwise, 2 when it could not run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if_changed=0
if [ "${1:-}" = --if-changed ]; then
  if_changed=1
  shift
fi
check="${1:-$root/build/zibrolt-check}"
grammar="$root/tools/oracle-grammar"

if [ ! -x "$check" ]; then
  echo "tools/check-oracle-grammar.sh: $check not found; build first (tools/build.sh)" >&2
  exit 2
fi

statements="$(mktemp)"
trap 'rm -f "$statements"' EXIT
if ! "$check" --statements >"$statements"; then
  echo "tools/check-oracle-grammar.sh: $check --statements failed" >&2
  exit 2
fi
record="$grammar/parsed.sha256"
digest="$(cat "$statements" "$grammar/parse.js" "$grammar/controls.sql" "$grammar/package-lock.json" |
  sha256sum | cut -d ' ' -f 1)"
if [ "$if_changed" -eq 1 ] && [ "$digest" = "$(cat "$record" 2>/dev/null)" ]; then
  echo "The statements and the grammar are those last parsed (tools/oracle-grammar/parsed.sha256): not parsed again."
  exit 0
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

node "$grammar/parse.js" --jobs "${ZIBROLT_GRAMMAR_JOBS:-$(nproc)}" \
  --controls "$grammar/controls.sql" "$statements"
echo "$digest" >"$record"
