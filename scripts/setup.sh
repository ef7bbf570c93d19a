#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, when they are missing.
# Root runs apt-get directly, anyone else through sudo; without apt the list is printed.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libpugixml-dev          # XML documents (condition and format documents)
  libsqlite3-dev sqlite3  # embedded company database engine
  unixodbc-dev unixodbc   # ODBC engine for SQL Server
  libsqliteodbc           # SQLite ODBC driver: runs the ODBC engine's tests without a server
  tdsodbc                 # FreeTDS: the SQL Server ODBC driver
  libgtest-dev libgmock-dev
  libbenchmark-dev
  libcli11-dev            # command-line parsing of q9strep
  nlohmann-json3-dev      # JSON output and SQL trace lines
  libcpp-httplib-dev libssl-dev  # HTTP(S) server of q9strep serve
  libsodium-dev           # Argon2id password hashes and session tokens of the web report
  clang libclang-rt-14-dev  # libFuzzer targets
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done 2>/dev/null || true

if ! command -v apt-get >/dev/null 2>&1; then
  echo "setup: this system has no apt-get; install these packages (or their equivalents) by hand:" >&2
  printf '  %s\n' "${packages[@]}" >&2
  exit 1
fi

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
