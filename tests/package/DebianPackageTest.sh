#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a temporary root and checks what
# a user installs: the program, the tool, the menu entry, the icons, the metainfo, the manual
# pages, the package's documents, the user unit of `korvane-cam autostart` (not enabled) and the
# preload library of `korvane-cam emulate`;
# that the entry and the metainfo pass the validators Debian ships; that the package declares
# its runtime dependencies; and that the installed tool runs without a GUI toolkit.
# Usage: DebianPackageTest.sh BUILD_DIR APP_ID PACKAGE_NAME
set -euo pipefail
build=$1
id=$2
package=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
debs=("$work"/out/*.deb)
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

for file in usr/bin/KorvaneCamSettingsTool usr/bin/korvane-cam \
  "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
  "usr/share/icons/hicolor/scalable/apps/$id.svg" \
  usr/share/man/man1/korvane-cam.1.gz usr/share/man/man1/KorvaneCamSettingsTool.1.gz \
  "usr/share/doc/$package/copyright" "usr/share/doc/$package/changelog.gz"; do
  [[ -s "$root/$file" ]] || fail "the package lacks $file"
done
for program in KorvaneCamSettingsTool korvane-cam; do
  [[ -x "$root/usr/bin/$program" ]] || fail "usr/bin/$program is not executable"
done
for size in 16 22 24 32 48 64 128 256; do
  png=usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  file -b "$root/$png" | grep -q "^PNG image data, $size x $size," ||
    fail "$png is not a $size x $size PNG: $(file -b "$root/$png" 2>&1)"
done

entry=$root/usr/share/applications/$id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate refuses the entry"
grep -qx "Icon=$id" "$entry" || fail "the entry does not name the installed icon $id"
grep -qx "Exec=KorvaneCamSettingsTool" "$entry" || fail "the entry does not start the program"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "appstreamcli refuses the metainfo"

unit=$root/usr/lib/systemd/user/korvane-cam-restore.service
grep -qx "ExecStart=/usr/bin/korvane-cam restore --watch" "$unit" ||
  fail "the package lacks the user unit that starts the watcher"
# Installed, not enabled: `korvane-cam autostart on` is the user's choice.
if find "$root" -name '*.wants' | grep -q . || dpkg-deb -I "$deb" | grep -q postinst; then
  fail "the package enables the user unit"
fi

zcat "$root/usr/share/man/man1/korvane-cam.1.gz" | grep -q '^\.SH EXIT STATUS' ||
  fail "the manual page of korvane-cam has no exit status"

depends=$(dpkg-deb -f "$deb" Depends)
for dependency in libqt6core6 libqt6widgets6 libqt6svg6 libjpeg62-turbo libc6 fonts-crosextra-carlito; do
  grep -q "$dependency" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

# On a Wayland desktop the window runs natively once the toolkit's plugin is there.
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -qw "qt6-wayland" <<<"$recommends" || fail "Recommends lacks qt6-wayland: $recommends"

if readelf -d "$root/usr/bin/korvane-cam" | grep NEEDED | grep -qE 'libQt6(Gui|Widgets)'; then
  fail "korvane-cam links a GUI toolkit"
fi
# `korvane-cam emulate` finds the preload library installed beside it (a sanitizer build has
# none: a sanitizer's runtime cannot be put into other programs).
if ! grep -qE '^KORVANE_(SANITIZE|TSAN):BOOL=ON' "$build/CMakeCache.txt"; then
  libraries=("$root"/usr/lib/*/korvane-cam/preload/libkorvane-v4l2-emulation.so
    "$root"/usr/lib/korvane-cam/preload/libkorvane-v4l2-emulation.so)
  library=$(ls "${libraries[@]}" 2>/dev/null | head -1 || true)
  [[ -n $library ]] || fail "the package lacks the preload library libkorvane-v4l2-emulation.so"
  cp "$(dirname "$0")/../../docs/examples/emulated-uvc-cameras.json" "$work/cameras.json"
  preload=$("$root/usr/bin/korvane-cam" emulate "$work/cameras.json" -- sh -c 'echo "$LD_PRELOAD"') ||
    fail "the installed tool cannot emulate"
  [[ -n $library && $(realpath -m "$preload") == $(realpath "$library") ]] ||
    fail "emulate preloads '$preload', not the installed $library"
fi
listing=$(KORVANE_CAMERAS=demo "$root/usr/bin/korvane-cam" list) || fail "the installed tool fails"
grep -q "Korvane Lumen Studio 1080" <<<"$listing" || fail "the installed tool lists: $listing"

exit $status
