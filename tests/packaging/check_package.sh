#!/usr/bin/env bash
# Checks the Debian package of a build tree:
#   1. cpack builds it;
#   2. its control data (name, version, maintainer, dependencies) and its files (both programs, the
#      desktop entry, the icons in the hicolor sizes, the licence) are as they should be;
#   3. as root: dpkg installs it, `velkor-codegen --version` runs, the window program starts on the
#      offscreen platform (still running after 3 s counts as started), and dpkg removes it again.
# Exit 77 (skipped) when step 3 cannot run: not root, or the package is already installed here (it
# is then left alone rather than replaced and removed).
#
# Usage: check_package.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: check_package.sh BUILD_DIR}
package=velkor-codegenerator
work=$(mktemp -d)
installed_by_us=0

cleanup() {
  if [ "$installed_by_us" = 1 ]; then
    dpkg -r "$package" >/dev/null 2>&1 || echo "check_package: could not remove $package" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "check_package: $*" >&2
  exit 1
}

# 1. Build the package from up-to-date programs and icons.
if ! cmake --build "$build" --target velkor-codegenerator velkor-codegen velkor_icons >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  fail "building the programs failed"
fi
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
deb=$(find "$work/out" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
[ -n "$deb" ] || fail "cpack made no ${package}_*.deb"
echo "built $(basename "$deb")"

# 2. Control data and contents.
[ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "1.0" ] || fail "version is not 1.0"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "Velkor" ] || fail "maintainer is not Velkor"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libqt5core5a libqt5gui5 libqt5widgets5 libquazip1-qt5-1; do
  echo "$depends" | grep -Eq "(^|, )$dep( |,|$)" || fail "Depends lacks $dep: $depends"
done

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/contents"
expected=(
  /usr/bin/velkor-codegenerator
  /usr/bin/velkor-codegen
  /usr/share/applications/velkor-codegenerator.desktop
  /usr/share/doc/velkor-codegenerator/LICENSE.txt
)
for size in 16 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/velkor-codegenerator.png")
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/contents" || fail "package lacks $f"
done

# The icons really have their sizes, and the desktop entry names the program and the icon.
dpkg-deb -x "$deb" "$work/root"
if command -v identify >/dev/null; then
  for size in 16 24 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${size}x${size}/apps/velkor-codegenerator.png")
    [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
  done
fi
desktop="$work/root/usr/share/applications/velkor-codegenerator.desktop"
grep -qx 'Exec=velkor-codegenerator' "$desktop" || fail "desktop entry does not start velkor-codegenerator"
grep -qx 'Icon=velkor-codegenerator' "$desktop" || fail "desktop entry does not name the icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry is not valid"
fi
cmp -s "$work/root/usr/share/doc/velkor-codegenerator/LICENSE.txt" "$(dirname "$0")/../../resources/license/LICENSE.txt" ||
  fail "the installed licence differs from resources/license/LICENSE.txt"
echo "package contents ok"

# 3. Install, run, remove.
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: installing the package needs root (contents were checked)"
  exit 77
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIPPED: $package is already installed on this machine; it is left as it is (contents were checked)"
  exit 77
fi

# dpkg may be busy with another installation for a moment: wait for its lock a little.
installed=0
for attempt in 1 2 3 4 5 6 7 8 9 10 11 12; do
  if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    installed=1
    break
  fi
  grep -qi "lock" "$work/dpkg.log" || break
  sleep 5
done
if [ "$installed" != 1 ]; then
  cat "$work/dpkg.log" >&2
  dpkg -r "$package" >/dev/null 2>&1 || true
  fail "dpkg -i failed"
fi
installed_by_us=1
echo "installed"

version=$(/usr/bin/velkor-codegen --version) || fail "velkor-codegen --version failed"
[ "$version" = "velkor-codegen 1.0" ] || fail "velkor-codegen --version printed '$version'"
/usr/bin/velkor-codegen list-modules | grep -q '^MQTT_Client_SIMCom ' || fail "velkor-codegen list-modules failed"

set +e
QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/velkor-codegenerator >"$work/window.log" 2>&1
status=$?
set -e
if [ "$status" != 124 ]; then
  cat "$work/window.log" >&2
  fail "velkor-codegenerator ended with status $status instead of running until stopped"
fi
echo "both programs run from the package"

dpkg -r "$package" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r failed"; }
installed_by_us=0
[ ! -e /usr/bin/velkor-codegen ] || fail "/usr/bin/velkor-codegen is still there after removal"
echo "removed"
