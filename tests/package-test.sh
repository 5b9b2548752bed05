#!/usr/bin/env bash
# The release as a user gets it: scripts/package writes the zip, which holds
# exactly the listed files and is the same bytes when packed again; unpacked
# into a fresh folder with the tools under bin\, its 64-bit plug-in (loaded
# by the packaged vistrel-host.exe beside it) gives a thumbnail of each
# media kind, RAR archives through the packaged UnRAR library, and writes
# its own vistrel.ini naming the tools it found on PATH: a user who
# already has them sets up nothing. The 32-bit files are checked, not run.
set -u
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$ROOT/scripts/lib.sh"
B="$VSL_BUILD_DIR"
WORK="$B/package-test"
rm -rf "$WORK"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT
status=0
fail() { echo "FAIL $*"; status=1; }
ok() { echo "ok   $*"; }

VERSION=$(head -n1 "$ROOT/VERSION")
ZIP="$WORK/dist/vistrel-$VERSION.zip"
python3 "$ROOT/scripts/package" --out "$WORK/dist" > "$WORK/package.log" 2>&1 ||
  { cat "$WORK/package.log"; fail "scripts/package"; exit 1; }
python3 "$ROOT/scripts/package" --no-build --out "$WORK/again" > /dev/null 2>&1 || fail "scripts/package --no-build"
cmp -s "$ZIP" "$WORK/again/vistrel-$VERSION.zip" && ok "packed twice: the same bytes" || fail "packed twice: the zips differ"

expected="pluginst.inf vistrel.wlx64 vistrel.wlx UnRAR64.dll UnRAR.dll vistrel-host.exe vistrel-guide.txt \
vistrel-settings.txt license-UnRAR.txt license-libjpeg-turbo.txt license-zlib-minizip.txt license-7zip.txt"
names=$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$ZIP")
[ "$names" = "$expected" ] && ok "the zip holds: $names" || fail "the zip holds: $names"

PLUGIN="$WORK/unpacked plug-in"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$ZIP" "$PLUGIN"
grep -q "^vistrel $VERSION - user guide" "$PLUGIN/vistrel-guide.txt" && ! grep -q @VERSION@ "$PLUGIN/vistrel-guide.txt" ||
  fail "the guide does not name version $VERSION"
tr -d '\r' < "$PLUGIN/pluginst.inf" | grep -qx 'file=vistrel.wlx' || fail "pluginst.inf does not name vistrel.wlx"

# Both builds: the host's exports, Windows system DLLs only, version
# resources, and no link time that would make two builds differ.
bash "$ROOT/tests/check-binaries.sh" "$PLUGIN/vistrel.wlx64" "$PLUGIN/vistrel.wlx" || status=1
for entry in vistrel.wlx64:x86_64:pei-x86-64 vistrel.wlx:i686:pei-i386 vistrel-host.exe:x86_64:pei-x86-64 \
             UnRAR64.dll:x86_64:pei-x86-64 UnRAR.dll:i686:pei-i386; do
  IFS=: read -r file arch format <<< "$entry"
  dump=$("$arch-w64-mingw32-objdump" -p "$PLUGIN/$file")
  grep -q "file format $format" <<< "$dump" || fail "$file is not $format"
  [ "$(vsl_pe_link_time "$PLUGIN/$file")" = 0 ] || fail "$file carries a link time"
  runtime=$(awk '/DLL Name:/{print tolower($3)}' <<< "$dump" | grep -E '^lib|^vcruntime|^msvcp' | tr '\n' ' ')
  [ -z "$runtime" ] || fail "$file needs $runtime"
  case "$file" in
    UnRAR*)
      for fn in RAROpenArchiveEx RARReadHeaderEx RARProcessFileW RARCloseArchive; do
        grep -Eq "\] $fn\$" <<< "$dump" || fail "$file does not export $fn"
      done ;;
    *)
      rc=$("$arch-w64-mingw32-windres" -i "$PLUGIN/$file" -O rc 2>/dev/null)
      for value in "\"FileVersion\", \"$VERSION\"" '"ProductName", "vistrel"' '"LegalCopyright", "Copyright' \
                   '"FileDescription", "vistrel'; do
        grep -qF "$value" <<< "$rc" || fail "$file's version resource lacks $value"
      done ;;
  esac
done

# The tools as a package manager leaves them, in a folder on PATH: the
# real ffmpeg and ffprobe, and the stand-ins for the player and the image
# converter (which cannot be had). Nothing goes into the plug-in's folder.
ONPATH="$WORK/installed tools"
mkdir -p "$ONPATH" "$WORK/samples"
for tool in ffmpeg.exe ffprobe.exe; do cp "$VSL_TOOLS_DIR/bin/ffmpeg/$tool" "$ONPATH/"; done
cp "$B/x64/bin/viewer_gui.exe" "$ONPATH/ffplay.exe"
cp "$B/x64/bin/image_converter_gui.exe" "$ONPATH/i_view64.exe"
export WINEPATH="$(winepath -w "$ONPATH")"
# The converter stand-in looks for its ffmpeg where the default places it.
export VSL_CONVERTER_FFMPEG="$WINEPATH\\ffmpeg.exe"
[ -e "$PLUGIN/vistrel.ini" ] && fail "vistrel.ini came with the package"

# A comic stored as RAR, so that the thumbnail needs the packaged UnRAR64.dll.
timeout 120 wine "$B/x64/bin/write_rar.exe" "$(winepath -w "$WORK/samples/comic.cbr")" rar5 \
  "001.jpg=$(winepath -w "$VSL_ARCHIVES_DIR/red.jpg")" "002.jpg=$(winepath -w "$VSL_ARCHIVES_DIR/green.jpg")" \
  > /dev/null 2>&1 || fail "write_rar"
for sample in "video:$VSL_MEDIA_DIR/clip.mp4" "audio:$VSL_MEDIA_DIR/tone.wav" "image:$VSL_MEDIA_DIR/photo.jpg" \
              "comic:$WORK/samples/comic.cbr" "album:$VSL_ARCHIVES_DIR/album.zip"; do
  kind="${sample%%:*}" file="${sample#*:}"
  bmp="$WORK/$kind.bmp"
  # A message box would wait for a click: a run that does not end fails.
  (cd "$PLUGIN" && timeout 180 wine ./vistrel-host.exe thumb "$(winepath -w "$file")" 96x96 "$(winepath -w "$bmp")" \
     > "$WORK/$kind.out" 2>&1)
  code=$?
  said=$(tr -d '\r' < "$WORK/$kind.out")
  if [ $code = 0 ] && [ -s "$bmp" ]; then ok "$kind thumbnail $said through the packaged plug-in"; else
    fail "$kind thumbnail (exit $code): $said"; fi
done

ini=$(iconv -f UTF-16 -t UTF-8 "$PLUGIN/vistrel.ini" 2>/dev/null | tr -d '\r')
named=yes
for tool in ffmpeg ffprobe ffplay irfanview:i_view64; do
  grep -qxF "${tool%%:*}Path (chars)=$WINEPATH\\${tool#*:}.exe" <<< "$ini" ||
    { fail "vistrel.ini does not name the ${tool#*:}.exe found on PATH"; named=; }
done
[ -n "$named" ] && ok "the plug-in wrote its vistrel.ini with the tools found on PATH"
(cd "$PLUGIN" && wine ./vistrel-host.exe settings 2>/dev/null) | cmp -s - "$PLUGIN/vistrel-settings.txt" &&
  ok "the shipped reference is what the packaged vistrel-host prints" ||
  fail "the shipped vistrel-settings.txt differs from vistrel-host settings"
exit $status
