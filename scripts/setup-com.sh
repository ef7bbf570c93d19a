#!/usr/bin/env bash
# Installs what the Windows build of the COM server needs (mingw-w64, Wine, tclsh) when it
# is missing, and fetches the third-party sources (pugixml, SQLite) from Debian's source packages
# into $1 (default build-com/third_party) through a private apt configuration, so the system's
# own apt sources stay untouched. Safe to run again: it does nothing that is already done.
set -euo pipefail

dest=${1:-build-com/third_party}

packages=(
  g++-mingw-w64-x86-64-posix  # the cross compiler (posix threads: std::thread, thread_local)
  wine wine64                 # runs regsvr32 and the script front end
  tcl                         # tclsh builds SQLite's amalgamation
  dpkg-dev                    # dpkg-source unpacks the source packages
  ccache
  nlohmann-json3-dev          # JSON header (the SQL trace), shared with the Linux build
  python3                     # compares the script front end with q9strep
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "setup-com: no apt-get here; install by hand: ${packages[*]}" >&2
    exit 1
  fi
  echo "setup-com: installing ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Third-party sources, once.
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
if [ -f "$dest/pugixml/src/pugixml.cpp" ] && [ -f "$dest/sqlite/sqlite3.c" ]; then
  exit 0
fi

apt_dir="$dest/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial"
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
  >"$apt_dir/deb-src.sources"
apt_opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/srcparts"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::Archives=$apt_dir/archives"
          -o "Debug::NoLocking=1" -o "APT::Sandbox::User=root")
mkdir -p "$apt_dir/srcparts"
cp "$apt_dir/deb-src.sources" "$apt_dir/srcparts/debian.sources"
apt-get "${apt_opts[@]}" update -qq

fetch() {  # package, directory name under $dest
  local pkg=$1 name=$2
  if [ -d "$dest/$name" ]; then return; fi
  local work="$dest/src-$pkg"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get "${apt_opts[@]}" source -qq "$pkg" >/dev/null)
  local tree
  tree=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n1)
  mv "$tree" "$dest/$name"
}

fetch pugixml pugixml
fetch sqlite3 sqlite-tree

if [ ! -f "$dest/sqlite/sqlite3.c" ]; then
  echo "setup-com: building SQLite's amalgamation with tclsh"
  mkdir -p "$dest/sqlite-build" "$dest/sqlite"
  (cd "$dest/sqlite-build" && "$dest/sqlite-tree/configure" --quiet >/dev/null &&
     nice -n 10 make -s sqlite3.c >/dev/null)
  cp "$dest/sqlite-build/sqlite3.c" "$dest/sqlite-build/sqlite3.h" "$dest/sqlite/"
fi
