#!/usr/bin/env bash
# The Debian package as a user meets it: built with cpack from a finished build
# folder into a temporary folder, its file list, its metadata files checked by
# the desktop's own validators, and its program, extracted with dpkg-deb -x
# (nothing is installed on this machine), finding its libraries and opening
# its window on the display in DISPLAY.
#
#   package_test.sh BUILD_DIR WITH_SERVER      (WITH_SERVER: 1 or 0)
set -euo pipefail
build=$1
with_server=$2
app_id=org.example.ShortUrl
title='短网址生成还原程序'

fail() {
  echo "package_test: $*" >&2
  exit 1
}

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli ldd xdotool xprop; do
  command -v "$tool" >/dev/null || fail "$tool is missing: scripts/install-deps.sh installs it"
done
[[ -n "${DISPLAY:-}" ]] || fail "DISPLAY is not set: run the tests through scripts/test.sh"

work=$(mktemp -d /tmp/shorturl-package.XXXXXX)
app_pid=
cleanup() {
  if [[ -n "$app_pid" ]]; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# -- the package
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
shopt -s nullglob
debs=("$work"/out/*.deb)
shopt -u nullglob
[[ ${#debs[@]} -eq 1 ]] || fail "cpack made ${#debs[@]} packages, not one"
deb=${debs[0]}

# Every file with its mode and owner; folders are left out.
expected=$(
  {
    echo "-rwxr-xr-x root/root ./usr/bin/shorturl"
    [[ "$with_server" == 1 ]] && echo "-rwxr-xr-x root/root ./usr/bin/shorturl-server"
    echo "-rw-r--r-- root/root ./usr/share/applications/$app_id.desktop"
    echo "-rw-r--r-- root/root ./usr/share/doc/shorturl/copyright"
    echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/$app_id.png"
    echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    echo "-rw-r--r-- root/root ./usr/share/metainfo/$app_id.metainfo.xml"
  } | sort
)
actual=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort)
[[ "$actual" == "$expected" ]] ||
  fail "the package holds other files than it should:"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"

depends=$(dpkg-deb --field "$deb" Depends)
# From the linked libraries (dpkg-shlibdeps; libqt6gui6 carries the xcb
# platform plugin), and the font with the window's Chinese glyphs.
for dependency in libqt6widgets6 libqt6gui6 libcurl4 fonts-wqy-microhei; do
  [[ ",$depends," == *[\ ,]"$dependency"[\ ,\(]* ]] || fail "Depends lacks $dependency: $depends"
done
version=$(dpkg-deb --field "$deb" Version)

root=$work/root
dpkg-deb -x "$deb" "$root"

# -- the desktop entry, the metainfo and the icon
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app_id.desktop"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "appstreamcli rejects $app_id.metainfo.xml"; }
grep -q "<release version=\"$version\"" "$metainfo" ||
  fail "the metainfo has no release entry for the package's version $version"

key() { sed -n "s/^$1=//p" "$desktop"; }
[[ -x "$root/usr/bin/$(key Exec)" ]] || fail "Exec=$(key Exec) is not a program of the package"
[[ "$(key Icon)" == "$app_id" ]] || fail "Icon=$(key Icon) is not the package's icon $app_id"
# A PNG's width and height are the two big-endian words after its 16-byte head.
size=$(od -An -tx1 -j16 -N8 "$root/usr/share/icons/hicolor/48x48/apps/$app_id.png" | tr -d ' \n')
[[ "$size" == 0000003000000030 ]] || fail "the 48x48 icon is not 48 by 48 pixels ($size)"

# -- the programs find their libraries
for program in "$root"/usr/bin/*; do
  libraries=$(ldd "$program") || fail "ldd cannot read $program"
  if grep -q "not found" <<<"$libraries"; then
    fail "$program misses libraries:"$'\n'"$(grep "not found" <<<"$libraries")"
  fi
done

# -- the extracted program opens its window, with the class the entry names
cd "$work"
QT_QPA_PLATFORM=xcb "$root/usr/bin/shorturl" >"$work/program.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 1 300); do
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "the extracted program ended at start"; }
  window=$(xdotool search --all --onlyvisible --pid "$app_pid" --name "^$title" 2>/dev/null | head -n1) || true
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || fail "the extracted program's window did not appear within 30 s"
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = ".*", "\(.*\)"$/\1/p')
[[ "$wm_class" == "$(key StartupWMClass)" ]] ||
  fail "the window's class is '$wm_class' but the entry's StartupWMClass is '$(key StartupWMClass)'"
echo "package_test: $(basename "$deb") passes"
