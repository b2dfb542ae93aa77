#!/bin/sh
# Builds the Debian package, unpacks it into a throw-away root and checks
# what an organiser's machine would get: the binary, its libraries, the
# desktop entry and the icons.
set -eu
BUILD="$1"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cd "$BUILD"
cpack -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; exit 1; }
DEB="$(ls "$WORK"/out/ringtally_*.deb)"
echo "package: $(basename "$DEB")"

fail() { echo "FAIL: $*"; exit 1; }

DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $DEPENDS"
for lib in libwebkit2gtk-4.1-0 libgtk-3-0 libsqlite3-0 libqrcodegencpp; do
    echo "$DEPENDS" | grep -q "$lib" || fail "Depends lacks $lib"
done

ROOT="$WORK/root"
dpkg -x "$DEB" "$ROOT"
BIN="$ROOT/usr/bin/ringtally"
[ -x "$BIN" ] || fail "no executable /usr/bin/ringtally"
file "$BIN" | grep -q ELF || fail "/usr/bin/ringtally is not a program"
if ldd "$BIN" | grep -q "not found"; then ldd "$BIN"; fail "unresolved libraries"; fi

DESKTOP="$ROOT/usr/share/applications/ringtally.desktop"
[ -f "$DESKTOP" ] || fail "no desktop entry"
desktop-file-validate "$DESKTOP" || fail "desktop entry does not validate"
grep -qx "Name=Ringtally Zuzu" "$DESKTOP" || fail "desktop entry name"
grep -qx "Exec=ringtally" "$DESKTOP" || fail "desktop entry command"
grep -q "^Categories=.*Office;" "$DESKTOP" || fail "desktop entry category"

ICONS="$ROOT/usr/share/icons/hicolor"
[ -f "$ICONS/scalable/apps/ringtally.svg" ] || fail "no scalable icon"
for size in 16 32 48 64 128 256; do
    PNG="$ICONS/${size}x${size}/apps/ringtally.png"
    [ -f "$PNG" ] || fail "no ${size}px icon"
    file "$PNG" | grep -q "PNG image data, $size x $size" || fail "${size}px icon is not ${size}x${size}"
done

# The unpacked program starts far enough to need a display, and says so.
set +e
OUTPUT="$(env -u DISPLAY -u WAYLAND_DISPLAY "$BIN" 2>&1)"
CODE=$?
set -e
[ "$CODE" -eq 1 ] || fail "started without a display with exit code $CODE"
echo "$OUTPUT" | grep -q "Ringtally Zuzu needs a graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set." || fail "no start-up message: $OUTPUT"

echo "1 passed, 0 failed"
