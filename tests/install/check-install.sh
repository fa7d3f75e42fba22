#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR (prefix /usr) and checks it.
# Usage: check-install.sh BUILD SOURCE CMAKE GUI(0|1)
set -uo pipefail

build="$1"
source="$2"
cmake="$3"
gui="$4"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work="$(mktemp -d "${TMPDIR:-/tmp}/tarvex-install-XXXXXX")"
console_pid=""
cleanup() {
  if [ -n "$console_pid" ]; then kill "$console_pid" 2>/dev/null; wait "$console_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
root="$work/root"

# --- Install -----------------------------------------------------------------
if ! DESTDIR="$root" "$cmake" --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi
usr="$root/usr"

# --- Layout ------------------------------------------------------------------
programs=(tarvex-let tarvex-controller-sim)
files=(
  share/tarvex/README.md
  share/tarvex/Tarvex.htm
  share/tarvex/stopping/README.md
  share/doc/tarvex/copyright
  share/man/man1/tarvex-let.1
  share/man/man1/tarvex-controller-sim.1
)
if [ "$gui" = 1 ]; then
  programs+=(tarvex tarvex-station)
  files+=(
    share/applications/tarvex.desktop
    share/icons/hicolor/scalable/apps/tarvex.svg
    share/man/man1/tarvex.1
  )
fi
for program in "${programs[@]}"; do
  { [ -f "$usr/bin/$program" ] && [ -x "$usr/bin/$program" ]; } || fail "bin/$program is not an installed program"
done
for file in "${files[@]}"; do
  [ -s "$usr/$file" ] || fail "$file is missing or empty"
done

# The whole demo station, file for file and byte for byte.
while IFS= read -r -d '' file; do
  name="${file#"$source/examples/demo-site/"}"
  cmp -s "$file" "$usr/share/tarvex/demo-site/$name" || fail "share/tarvex/demo-site/$name differs from the demo station"
done < <(find "$source/examples/demo-site" -type f -print0)
cmp -s "$source/README.md" "$usr/share/tarvex/README.md" || fail "share/tarvex/README.md differs from README.md"

# The coefficient files, byte for byte, in share/tarvex/stopping and nowhere
# else; no per-ion tables.
for name in scoef.95a scoef.95b scoefgas.95; do
  cmp -s "$source/data/stopping/$name" "$usr/share/tarvex/stopping/$name" ||
    fail "share/tarvex/stopping/$name differs from data/stopping/$name"
done
strays="$(find "$root" \( -name 'scoef*' -o -name '*.inp' \) ! -path "$usr/share/tarvex/stopping/*")"
[ -z "$strays" ] || fail "stopping data installed elsewhere: $strays"

# Nothing outside the prefix.
outside="$(find "$root" -mindepth 1 -maxdepth 1 ! -name usr)"
[ -z "$outside" ] || fail "installed outside /usr: $outside"

# The installed programs must not look for libraries in the build folder.
if command -v readelf >/dev/null; then
  for program in "${programs[@]}"; do
    [ -f "$usr/bin/$program" ] || continue
    if file_head="$(head -c 4 "$usr/bin/$program")" && [ "$file_head" = $'\x7fELF' ]; then
      readelf -d "$usr/bin/$program" | grep -E 'RPATH|RUNPATH' | grep -qF "$build" &&
        fail "bin/$program keeps the build folder in its run-time search path"
    fi
  done
fi

# --- The installed tarvex-let ------------------------------------------------
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
if [ -x "$usr/bin/tarvex-let" ]; then
  help="$(cd "$work" && "$usr/bin/tarvex-let" --help 2>&1)"
  status=$?
  [ "$status" -eq 0 ] || fail "tarvex-let --help exited with $status"
  grep -q '^Usage:' <<<"$help" || fail "tarvex-let --help shows no usage: $help"
  grep -q 'tarvex-let stopping' <<<"$help" || fail "tarvex-let --help does not show the stopping command"
  (cd "$work" && "$usr/bin/tarvex-let" --no-such-option >/dev/null 2>&1)
  status=$?
  [ "$status" -eq 2 ] || fail "tarvex-let with a bad option exited with $status, not 2"
  # Without --data or TARVEX_STOPPING_DATA it takes the installed coefficient files.
  out="$(cd "$work" && env -u TARVEX_STOPPING_DATA "$usr/bin/tarvex-let" stopping --ion 197Au --element Si 15 2>&1)"
  status=$?
  [ "$status" -eq 0 ] || fail "tarvex-let without --data exited with $status: $out"
fi

# --- --version and --help of every program, without a display ----------------
version="$(sed -n 's/^project(Tarvex VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"
for program in tarvex tarvex-let tarvex-controller-sim; do
  [ -x "$usr/bin/$program" ] || continue
  out="$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$usr/bin/$program" --version 2>&1)"
  status=$?
  [ "$status" -eq 0 ] || fail "$program --version exited with $status: $out"
  [ "$out" = "$program $version" ] || fail "$program --version printed '$out', not '$program $version'"
  out="$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$usr/bin/$program" --help 2>&1)"
  status=$?
  [ "$status" -eq 0 ] || fail "$program --help exited with $status: $out"
  grep -q -- '--version' <<<"$out" || fail "$program --help does not mention --version"
done

# --- Manual pages ------------------------------------------------------------
man_pages=("$usr/share/man/man1/tarvex-let.1" "$usr/share/man/man1/tarvex-controller-sim.1")
[ "$gui" = 1 ] && man_pages+=("$usr/share/man/man1/tarvex.1")
for page in "${man_pages[@]}"; do
  [ -f "$page" ] || continue
  name="$(basename "$page" .1)"
  title="${name^^}"
  grep -qF ".TH \"${title//-/\\-}\" \"1\"" "$page" || fail "$page: no title line for $name(1)"
  for section in NAME SYNOPSIS DESCRIPTION; do
    grep -q "^\.SH \"$section\"" "$page" || fail "$page: no $section section"
  done
  if command -v groff >/dev/null; then
    warnings="$(groff -k -man -Tutf8 -ww -z "$page" 2>&1)"
    [ -z "$warnings" ] || fail "$page: groff warnings: $warnings"
  fi
done
# tarvex-let's page is its --help: every option of the help is on the page.
if [ -f "$usr/share/man/man1/tarvex-let.1" ] && [ -n "${help:-}" ]; then
  while read -r option; do
    grep -qF "\\fB${option//-/\\-}\\fR" "$usr/share/man/man1/tarvex-let.1" ||
      fail "tarvex-let.1 does not describe $option"
  done < <(grep -oE '^  --[a-z-]+' <<<"$help")
fi

# --- Desktop entry -----------------------------------------------------------
if [ "$gui" = 1 ]; then
  entry="$usr/share/applications/tarvex.desktop"
  if ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate is not installed (scripts/bootstrap installs desktop-file-utils)"
  elif [ -f "$entry" ]; then
    report="$(desktop-file-validate "$entry" 2>&1)"
    status=$?
    [ "$status" -eq 0 ] || fail "desktop-file-validate exited with $status: $report"
    [ -z "$report" ] || fail "desktop-file-validate reports: $report"
  fi
  if [ -f "$entry" ]; then
    exec_program="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")"
    { [ -n "$exec_program" ] && [ -x "$usr/bin/$exec_program" ]; } ||
      fail "the desktop entry runs '$exec_program', which is not installed in bin/"
    icon="$(sed -n 's/^Icon=//p' "$entry")"
    [ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
      fail "the desktop entry's icon '$icon' is not installed"
  fi
  # The icon is an SVG picture.
  grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/tarvex.svg" 2>/dev/null ||
    fail "tarvex.svg is not an SVG picture"

  # --- The desktop entry starts the console ----------------------------------
  # Without a folder the launcher makes the user's copy of the demo station and
  # starts the console there; its start-up ends with "End of initialization" in
  # the sequence log, and the console then waits in its dialog.
  if [ -x "$usr/bin/tarvex-station" ]; then
    home="$work/home"
    mkdir -p "$home"
    site="$home/.local/share/tarvex/demo-site"
    env -u TARVEX_SITE -u TARVEX_STOPPING_DATA HOME="$home" XDG_DATA_HOME= XDG_RUNTIME_DIR= \
      QT_QPA_PLATFORM=offscreen \
      "$usr/bin/tarvex-station" >"$work/console.log" 2>&1 &
    console_pid=$!
    started=0
    for _ in $(seq 1 120); do
      if grep -q "End of initialization" "$site/TarvexLog.dat" 2>/dev/null; then
        started=1
        break
      fi
      kill -0 "$console_pid" 2>/dev/null || break
      sleep 0.5
    done
    if [ "$started" = 1 ]; then
      sleep 1
      kill -0 "$console_pid" 2>/dev/null || fail "the console ended right after its start-up: $(cat "$work/console.log")"
    else
      fail "the console did not complete its start-up in $site: $(cat "$work/console.log")"
    fi
    [ -f "$site/Tarvex.run" ] || fail "the running console has no run marker in the station folder"
    # SIGTERM ends it like every failure exit: axes stopped, run marker removed.
    kill "$console_pid" 2>/dev/null
    wait "$console_pid" 2>/dev/null
    console_pid=""
    [ ! -f "$site/Tarvex.run" ] || fail "the console ended by SIGTERM left its run marker behind"
    cmp -s "$source/examples/demo-site/DemoStatus.dat" "$site/DemoStatus.dat" ||
      fail "the launcher did not copy the demo station to $site"
    # Without TARVEX_STOPPING_DATA the demo copy gets the installed coefficient files.
    cmp -s "$source/data/stopping/scoef.95a" "$site/scoef.95a" ||
      fail "the launcher did not copy the installed coefficient files into the demo copy"
    # A folder that does not exist is refused.
    HOME="$home" "$usr/bin/tarvex-station" "$work/no-such-folder" >/dev/null 2>&1
    status=$?
    [ "$status" -eq 1 ] || fail "tarvex-station on a missing folder exited with $status, not 1"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install layout: all checks passed"
