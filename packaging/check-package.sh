#!/usr/bin/env bash
# Checks a built package: its desktop entry, software-centre data and file types validate
# without a warning, lintian reports no error or warning, apt can install it, and both
# programs run from a scratch root holding only the package's files (the libraries, QML
# modules and Qt plugins come from the system), so that a file missing from the package fails.
# Usage: packaging/check-package.sh build/quorslice_VERSION_amd64.deb
set -euo pipefail

deb=$(realpath "$1")
sources=$(realpath "$(dirname "$0")/..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}

echo "== unpacked into a scratch root =="
root=$work/root
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
package=$(dpkg-deb -f "$deb" Package)

echo "== desktop-file-validate =="
entries=("$root"/usr/share/applications/*.desktop)
[ -f "${entries[0]}" ] || fail "no desktop entry"
out=$(desktop-file-validate "${entries[@]}" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"

echo "== appstreamcli validate =="
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no AppStream metadata"
appstreamcli validate --no-net --explain "${metainfo[@]}" ||
  fail "appstreamcli reported errors or warnings"

echo "== file types =="
# The definition compiles, names the project type and matches a project by name and content.
mkdir -p "$work/data/mime/packages"
cp "$root"/usr/share/mime/packages/*.xml "$work/data/mime/packages/"
out=$(XDG_DATA_HOME=$work/data update-mime-database "$work/data/mime" 2>&1)
[ -z "$out" ] || fail "update-mime-database: $out"
grep -qx 'application/x-quorslice-project' "$work/data/mime/types" ||
  fail "the project type is not defined"

echo "== lintian =="
lintian --fail-on error,warning "$deb"

echo "== apt-get install (simulated) =="
# Every dependency resolves on this system's Debian.
apt-get install -s "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt refuses it"; }
grep -q "^Inst $package " "$work/apt.log" || { cat "$work/apt.log"; fail "apt would not install it"; }

echo "== programs from the scratch root =="
home=$work/home
mkdir -p "$home"
cd "$home"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache
export XDG_DATA_HOME=$home/.local/share
line=$("$root/usr/bin/quorslice-cli" --version)
[ "$line" = "quorslice-cli (Quor Slice) $version" ] || fail "quorslice-cli --version: $line"
line=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/quorslice" --version)
[ "$line" = "quorslice (Quor Slice) $version" ] || fail "quorslice --version: $line"
"$root/usr/bin/quorslice-cli" "$sources/samples/quor-sample.stl" -o "$home/quor-sample.cws"
[ -s "$home/quor-sample.cws" ] || fail "no job archive"
man -l "$root/usr/share/man/man1/quorslice-cli.1.gz" >/dev/null 2>&1 ||
  fail "the manual page of quorslice-cli does not format"

echo "check-package: $(basename "$deb") is fine"
