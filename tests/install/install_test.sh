#!/usr/bin/env bash
# Installs the build into temporary prefixes and uses the installation as
# its users would: the tree a package holds, a program of someone else's
# built against rssvane through find_package and through pkg-config, the
# desktop entry, and the installed application's first start, which must
# keep its files in the user's XDG data folder.
# Run by CTest with VK_BUILD, VK_SOURCE, VK_LIBDIR, VK_VERSION, VK_CXX,
# VK_CMAKE and VK_GENERATOR set.
set -euo pipefail

work=$(mktemp -d)
program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill -KILL "$program_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check_file() { [ -f "$1" ] || fail "missing file ${1#"$work"/}"; }

# --- DESTDIR: everything lands under it, the files name the prefix ---------
# A prefix of this run's own, so that a rule ignoring DESTDIR shows and
# harms nothing.
staged="/opt/velkorcrypto-install-test-$$"
DESTDIR="$work/stage" "$VK_CMAKE" --install "$VK_BUILD" --prefix "$staged" >"$work/destdir.log"
if [ -e "$staged" ]; then
  fail "DESTDIR was not honoured for: $(cd "$staged" && find . -type f | head -n 5)"
  rm -rf "$staged"
fi
[ -x "$work/stage$staged/bin/VelkorCrypto" ] || fail "nothing installed under DESTDIR"
grep -qx "prefix=$staged" "$work/stage$staged/$VK_LIBDIR/pkgconfig/rssvane.pc" \
  || fail "rssvane.pc under DESTDIR does not name the prefix $staged"

# --- any prefix: the tree ----------------------------------------------------
prefix="$work/prefix"
"$VK_CMAKE" --install "$VK_BUILD" --prefix "$prefix" >"$work/install.log"
for tool in VelkorCrypto rssvane vkcrypt; do
  [ -x "$prefix/bin/$tool" ] || fail "bin/$tool is not installed"
done
[ "$(ls "$prefix/bin" | sort | tr '\n' ' ')" = "VelkorCrypto rssvane vkcrypt " ] \
  || fail "bin/ holds more than the three programs: $(ls "$prefix/bin")"
lib="$prefix/$VK_LIBDIR"
check_file "$lib/librssvane.so.$VK_VERSION"
[ "$(readlink "$lib/librssvane.so.${VK_VERSION%%.*}")" = "librssvane.so.$VK_VERSION" ] || fail "no soname link"
[ "$(readlink "$lib/librssvane.so")" = "librssvane.so.${VK_VERSION%%.*}" ] || fail "no development link"
readelf -d "$lib/librssvane.so.$VK_VERSION" | grep -q "Library soname: \[librssvane.so.${VK_VERSION%%.*}\]" \
  || fail "librssvane.so has no soname librssvane.so.${VK_VERSION%%.*}"
for header in "$VK_SOURCE"/rssvane/include/rssvane/*.h; do
  cmp -s "$header" "$prefix/include/rssvane/$(basename "$header")" || fail "public header $(basename "$header") not installed"
done
[ -z "$(find "$prefix" -name '*.a' -o -name '*test*' -o -name '*bench*' -o -name '*fuzz*')" ] \
  || fail "build-only files installed: $(find "$prefix" -name '*.a' -o -name '*test*' -o -name '*bench*' -o -name '*fuzz*')"
for f in rssvaneConfig.cmake rssvaneConfigVersion.cmake rssvaneTargets.cmake; do check_file "$lib/cmake/rssvane/$f"; done
check_file "$lib/pkgconfig/rssvane.pc"
for doc in README.md "$VK_SOURCE"/docs/*.md; do check_file "$prefix/share/doc/velkorcrypto/$(basename "$doc")"; done
for tool in rssvane vkcrypt; do
  page="$prefix/share/man/man1/$tool.1"
  check_file "$page"
  # The page renders without a warning and carries the tool's own help.
  rendered=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "$tool.1 does not render"
  [ -z "$rendered" ] || fail "$tool.1 renders with warnings: $rendered"
  grep -q '^\.SH NAME' "$page" || fail "$tool.1 has no NAME section"
done
grep -q '^\.SS encrypt$' "$prefix/share/man/man1/vkcrypt.1" || fail "vkcrypt.1 lacks the encrypt command's help"
grep -q 'dump .*FILE' "$prefix/share/man/man1/rssvane.1" || fail "rssvane.1 lacks the dump command"
[ -f "$prefix/share/velkorcrypto/settings.dat" ] && [ ! -s "$prefix/share/velkorcrypto/settings.dat" ] \
  || fail "the shipped settings.dat is missing or not empty"

# --- the desktop entry and its icon ----------------------------------------
entry="$prefix/share/applications/velkorcrypto.desktop"
check_file "$entry"
validation=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate failed: $validation"
[ -z "$validation" ] || fail "desktop-file-validate says: $validation"
grep -qx 'Exec=VelkorCrypto' "$entry" || fail "the entry does not start VelkorCrypto"
grep -qx 'Icon=velkorcrypto' "$entry" || fail "the entry does not name the icon"
check_file "$prefix/share/icons/hicolor/scalable/apps/velkorcrypto.svg"
for size in 16 22 24 32 48 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/velkorcrypto.png"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "no ${size}x${size} icon"
done

# --- a program of someone else's, built against the installation ----------
cp "$VK_SOURCE"/tests/install/consumer/* "$work/"
expected=$(printf 'Installed Feed\n2\nFirst item\nSecond item')
check_reader() {  # name, program
  local out
  if ! out=$("$2" "$work/feed.xml" 2>&1); then fail "$1: $out"; return; fi
  [ "$(printf '%s\n' "$out" | tail -n +2)" = "$expected" ] || fail "$1 read: $out"
  printf '%s\n' "$out" | head -n 1 | grep -q '^component [0-9.]*$' || fail "$1: no component version: $out"
}
"$VK_CMAKE" -S "$work" -B "$work/with-cmake" -G "$VK_GENERATOR" -DCMAKE_CXX_COMPILER="$VK_CXX" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer.log" 2>&1 \
  && "$VK_CMAKE" --build "$work/with-cmake" >>"$work/consumer.log" 2>&1 \
  && check_reader "find_package" "$work/with-cmake/readfeed" \
  || fail "the find_package consumer did not build: $(tail -n 20 "$work/consumer.log")"

export PKG_CONFIG_PATH="$lib/pkgconfig"
[ "$(pkg-config --modversion rssvane)" = "$VK_VERSION" ] || fail "pkg-config reports $(pkg-config --modversion rssvane)"
# shellcheck disable=SC2046  # the flags are words
"$VK_CXX" -std=c++17 -o "$work/readfeed-pc" "$work/readfeed.cpp" $(pkg-config --cflags --libs rssvane) \
  -Wl,-rpath,"$(pkg-config --variable=libdir rssvane)" >"$work/pc.log" 2>&1 \
  && check_reader "pkg-config" "$work/readfeed-pc" \
  || fail "the pkg-config consumer did not build: $(tail -n 20 "$work/pc.log")"

# --- the installed program's first start ------------------------------------
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 0700 "$work/runtime"
bin_before=$(ls -la --time-style=+%s "$prefix/bin" | sha256sum)
env -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/VelkorCrypto" >"$work/program.log" 2>&1 &
program_pid=$!
data="$home/.local/share/VelkorCrypto"
for _ in $(seq 300); do  # up to 30 s for the first start to copy its settings
  [ -f "$data/settings.dat" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
[ -f "$data/settings.dat" ] || fail "no settings.dat in $data: $(cat "$work/program.log")"
# Start-up has no outward sign after that; give it ample time, then end the
# program as a session's end does, which writes the settings back.
sleep 3
kill -TERM "$program_pid" 2>/dev/null || fail "the program ended on its own: $(cat "$work/program.log")"
status=0
for _ in $(seq 300); do  # up to 30 s to close
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  kill -KILL "$program_pid"
  fail "the program did not end within 30 s of SIGTERM"
fi
wait "$program_pid" || status=$?
program_pid=""
[ "$status" = 0 ] || fail "the program exited with $status: $(cat "$work/program.log")"
[ "$(stat -c %a "$data")" = 700 ] || fail "$data has mode $(stat -c %a "$data"), not 700"
[ "$(stat -c %a "$data/settings.dat")" = 600 ] || fail "settings.dat has mode $(stat -c %a "$data/settings.dat")"
fields=$("$prefix/bin/vkcrypt" store-decrypt "$data/settings.dat" 2>&1) || fail "settings.dat was not written: $fields"
[[ "$fields" =~ ^\{[0-9A-F-]{36}\}(\|[^|]*){10}$ ]] || fail "settings.dat holds: $fields"
[ "$(ls -la --time-style=+%s "$prefix/bin" | sha256sum)" = "$bin_before" ] || fail "the program folder changed"
[ ! -s "$prefix/share/velkorcrypto/settings.dat" ] || fail "the shipped settings.dat was written to"

if ((failures)); then
  echo "install test: $failures failures" >&2
  exit 1
fi
echo "install test: passed"
