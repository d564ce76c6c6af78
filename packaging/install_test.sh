#!/usr/bin/env bash
# Installs the build into a staging directory (DESTDIR, prefix /usr) and
# checks the tree a Debian user would find: programs, samples, manual pages,
# the desktop entry and its icons, the guide; then runs the staged programs.
#
#   packaging/install_test.sh BUILD_DIR STAGING_DIR desktop|headless
set -u
build=$1
stage=$2
hosts=$3
failures=0
fail() { echo "install test: $*" >&2; failures=$((failures + 1)); }

rm -rf "$stage"
if ! DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$stage.log" 2>&1; then
  cat "$stage.log" >&2
  echo "install test: cmake --install failed" >&2
  exit 1
fi
usr=$stage/usr

expected=(
  bin/halden-cli bin/halden-eeprom
  share/halden/samples/dye.sample share/halden/samples/blank.sample
  share/man/man1/halden-cli.1 share/man/man1/halden-eeprom.1
  share/doc/halden/README.md share/doc/halden/docs/using-the-instrument.md
  share/doc/halden/docs/pc-software.md share/doc/halden/docs/screens/main_menu.png
  share/doc/halden/examples/single_reading.scn share/doc/halden/examples/pc_client.py
)
if [ "$hosts" = desktop ]; then
  expected+=(bin/halden-sim share/man/man1/halden-sim.1 share/applications/halden-sim.desktop)
  for size in 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/halden-sim.png")
  done
fi
for f in "${expected[@]}"; do
  [ -f "$usr/$f" ] || fail "missing /usr/$f"
done
for f in bin/halden-cli bin/halden-eeprom; do
  [ -x "$usr/$f" ] || fail "/usr/$f is not executable"
done
# Nothing of the build's own tree, and nothing outside /usr.
stray=$(cd "$stage" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$stray" ] || fail "installed outside /usr: $stray"
[ -z "$(find "$usr/share/doc/halden" -name 'CMakeLists.txt' -o -name '*.cmake' -o -name '*.1')" ] ||
  fail "build files among the guide in /usr/share/doc/halden"

if [ "$hosts" = desktop ]; then
  desktop=$usr/share/applications/halden-sim.desktop
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses halden-sim.desktop"
  fi
  grep -qx 'Exec=halden-sim' "$desktop" || fail "the desktop entry does not start halden-sim"
  grep -qx 'Icon=halden-sim' "$desktop" || fail "the desktop entry does not name the icon halden-sim"
  for size in 32 48 64 128 256; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/halden-sim.png
    if [ -f "$icon" ]; then
      dims=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $3*256+$4 "x" $7*256+$8}')
      [ "$dims" = "${size}x${size}" ] || fail "$icon is $dims, not ${size}x${size}"
    fi
  done
fi

# Every manual page renders without a warning.
for page in "$usr"/share/man/man1/*.1; do
  out=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$out" ] || fail "$page: $out"
done

# The staged halden-cli finds the staged sample library beside it: a sample
# that exists only there loads.
work=$(mktemp -d)
cp "$usr/share/halden/samples/dye.sample" "$usr/share/halden/samples/staged-only.sample"
if ! (cd "$work" && printf 'state\n' | env -u HALDEN_SAMPLES "$usr/bin/halden-cli" --sample staged-only - >out.txt 2>err.txt); then
  fail "the staged halden-cli does not find its samples: $(cat "$work/err.txt")"
fi
grep -q '^state [0-9]' "$work/out.txt" || fail "the staged halden-cli printed: $(cat "$work/out.txt")"
"$usr/bin/halden-eeprom" import-methods "$work/eeprom.bin" "$usr/share/doc/halden/examples/methods.json" \
  >/dev/null 2>&1 || fail "the staged halden-eeprom cannot import the installed examples/methods.json"
rm -rf "$work"

if [ "$failures" -ne 0 ]; then
  echo "install test: $failures problem(s) in $stage" >&2
  exit 1
fi
echo "install test: the staged tree in $stage is complete"
