# Shared settings of vistrel's scripts; sourced, not run.
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
VSL_BUILD_DIR="$ROOT/build"
VSL_DEPS_DIR="$VSL_BUILD_DIR/deps"
VSL_SRC_DIR="$VSL_DEPS_DIR/src"
VSL_NPM_DIR="$VSL_BUILD_DIR/tools"          # npm ci of package-lock.json
VSL_TOOLS_DIR="$VSL_BUILD_DIR/testplugin"   # staged plug-in folder: bin/ffmpeg/*.exe
VSL_MEDIA_DIR="$VSL_BUILD_DIR/media"        # scripts/make-media output
VSL_ARCHIVES_DIR="$VSL_BUILD_DIR/archives"  # scripts/make-archives output
declare -gA VSL_NPM_TOOLS=(
  [ffmpeg.exe]="$VSL_NPM_DIR/node_modules/@ffmpeg-installer/win32-x64/ffmpeg.exe"
  [ffprobe.exe]="$VSL_NPM_DIR/node_modules/@ffprobe-installer/win32-x64/ffprobe.exe"
)
# Wine maps file names through the locale's character set: without UTF-8,
# names outside ASCII (which the tests and the demo use) cannot be opened.
case "$(locale charmap 2>/dev/null)" in
  UTF-8) ;;
  *) export LC_ALL=C.UTF-8 ;;
esac
export WINEPREFIX="$VSL_BUILD_DIR/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

VSL_XVFB_PID=""
# Starts a private Xvfb on the first free display and exports DISPLAY.
vsl_start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    VSL_XVFB_PID=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      kill -0 "$VSL_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill "$VSL_XVFB_PID" 2>/dev/null || true
    VSL_XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

vsl_stop_display() {
  if [ -n "$VSL_XVFB_PID" ]; then
    kill "$VSL_XVFB_PID" 2>/dev/null || true
    wait "$VSL_XVFB_PID" 2>/dev/null || true
    VSL_XVFB_PID=""
  fi
}

# Ends every process of our own Wine prefix (and its wineserver).
vsl_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

# True when DIR holds a media set made by the current scripts/make-media.
vsl_media_current() {
  [ -f "$1/.stamp" ] &&
    [ "$(cat "$1/.stamp")" = "$(sha256sum "$ROOT/scripts/make-media" | cut -d' ' -f1)" ]
}

# Claims DIR (made when missing) for a script's output; the names of the
# files this run will write come on stdin. A new or empty folder is taken,
# and so is one that holds MANIFEST from an earlier run: the files listed
# there, and only those, are removed, and MANIFEST then lists this run's.
# Any other folder is refused, so that a folder given by mistake (say
# ~/Pictures) never loses or has overwritten a file of its owner.
vsl_claim_output_folder() { # dir manifest-name < file names
  local dir="$1" manifest="$1/$2" name
  mkdir -p "$dir" || return 1
  if [ ! -f "$manifest" ] && [ -n "$(find "$dir" -mindepth 1 -maxdepth 1 -print -quit)" ]; then
    echo "$dir holds other files; give an empty or new folder" >&2
    return 1
  fi
  if [ -f "$manifest" ]; then
    while IFS= read -r name; do
      # Plain names only: an edited manifest cannot reach outside DIR.
      case "$name" in '' | . | .. | */*) continue ;; esac
      rm -f -- "$dir/$name"
    done < "$manifest"
  fi
  cat > "$manifest"
}

# True when DIR holds a set made by the current scripts/make-archives.
vsl_archives_current() {
  [ "$(cat "$1/.stamp" 2>/dev/null)" = "$(sha256sum "$ROOT/scripts/make-archives" | cut -d' ' -f1)" ]
}
