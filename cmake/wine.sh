#!/usr/bin/env bash
# Wine for the Windows builds, in a prefix of the build's own.
#   wine.sh ARCH PREFIX setup      makes the prefix once (ARCH: win32, win64)
#   wine.sh ARCH PREFIX start      starts a server that stays until stop
#   wine.sh ARCH PREFIX stop
#   wine.sh ARCH PREFIX run PROGRAM [ARGUMENT...]
set -euo pipefail

if (($# < 3)); then
  echo "usage: wine.sh ARCH PREFIX setup|start|stop|run [PROGRAM ARGUMENT...]" >&2
  exit 2
fi
arch=$1 prefix=$2 command=$3
shift 3

export WINEARCH=$arch WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
case $arch in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *)
    echo "wine.sh: unknown architecture '$arch'" >&2
    exit 2
    ;;
esac
export WINELOADER=$loader
server=/usr/bin/wineserver

setup() {
  [[ -f $prefix/.complete ]] && return
  rm -rf "$prefix"
  local log=$prefix.log
  if ! { "$loader" wineboot -i &&
    # A crash must fail the test, not open the debugger, which may end the
    # program with code 0 and a backtrace on standard output.
    "$loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f && "$server" -w; } >"$log" 2>&1; then
    echo "wine.sh: could not make the Wine prefix $prefix:" >&2
    cat "$log" >&2
    if grep -q "Exec format error" "$log"; then
      echo "wine.sh: this kernel cannot run 32-bit programs; configure with" \
        "-DQUORBEL_WINE_TESTS=OFF, or test with the windows-x64 preset" >&2
    fi
    exit 1
  fi
  touch "$prefix/.complete"
}

case $command in
  setup) setup ;;
  start)
    # A server left behind (by test discovery, or a run cut short) goes
    # first. The new one stays until stop, and so do the helper programs
    # that the first program started under it brings up: started here, away
    # from CTest, they hold none of the pipes on which CTest waits for a
    # test's end.
    "$server" -k 2>/dev/null || true
    "$server" -w
    "$server" -p </dev/null >/dev/null 2>&1
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  stop) "$server" -k 2>/dev/null || true ;;
  run)
    # A test never reads the terminal of whoever runs it.
    [[ -t 0 ]] && exec </dev/null
    exec "$loader" "$@"
    ;;
  *)
    echo "wine.sh: unknown command '$command'" >&2
    exit 2
    ;;
esac
