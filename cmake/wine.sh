#!/usr/bin/env bash
# Wine for the Windows builds, in a prefix of the build's own.
#   wine.sh ARCH PREFIX setup      makes the prefix once (ARCH: win32, win64)
#                                  in a folder that is absent, empty or a
#                                  prefix of its own; refuses any other
#   wine.sh ARCH PREFIX start      starts a server that stays until stop
#   wine.sh ARCH PREFIX stop
#   wine.sh ARCH PREFIX run PROGRAM [ARGUMENT...]
#                                  the program on this script's own streams
#   wine.sh ARCH PREFIX capture PROGRAM [ARGUMENT...]
#                                  the same, its output passed on once it
#                                  ends (for CTest and test listing)
#
# 32-bit Wine's loader is a 32-bit Linux program. Where the kernel runs no
# 32-bit code, it runs under QEMU's user-mode emulation instead (qemu-i386-
# static), beside a native 64-bit wineserver, in a 64-bit prefix with its
# 32-bit side; nothing on the machine is changed for it.
set -euo pipefail

if (($# < 3)); then
  echo "usage: wine.sh ARCH PREFIX setup|start|stop|run|capture" \
    "[PROGRAM ARGUMENT...]" >&2
  exit 2
fi
# Wine wants the prefix as an absolute path.
arch=$1 prefix=$(realpath -m "$2") command=$3
shift 3

export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine32=/usr/lib/wine/wine wine64=/usr/lib/wine/wine64
server=/usr/bin/wineserver

# How 32-bit programs run: natively where the kernel runs the loader, else
# emulated. QUORBEL_WINE_EMULATION=1 asks for emulation anyway (to try that
# set-up on a kernel that needs none). The prefix keeps the mode it was made
# for, so that every later command runs the same way.
chooseMode() {
  local output
  if [[ $arch == win64 ]]; then
    echo native
  elif [[ ${QUORBEL_WINE_EMULATION:-0} == 1 ]]; then
    echo emulated
  elif output=$("$wine32" --version 2>&1); then
    echo native
  elif [[ $output == *"Exec format error"* ]]; then
    echo emulated
  else
    # Anything else that stops the loader is a broken installation.
    echo "wine.sh: 32-bit Wine does not start: $output" >&2
    return 1
  fi
}

case $arch in
  win32 | win64) ;;
  *)
    echo "wine.sh: unknown architecture '$arch'" >&2
    exit 2
    ;;
esac
if [[ $command == setup ]]; then
  mode=$(chooseMode)
else
  mode=$(cat "$prefix/.complete" 2>/dev/null) || true
  if [[ $mode != native && $mode != emulated ]]; then
    # No prefix, no server to stop.
    [[ $command == stop ]] && exit 0
    echo "wine.sh: no Wine prefix $prefix: make it with 'setup' first" >&2
    exit 1
  fi
fi

if [[ $mode == native ]]; then
  export WINEARCH=$arch
  [[ $arch == win32 ]] && loader=("$wine32") || loader=("$wine64")
  export WINELOADER=${loader[0]}
  # The prefix's own services are of the program's kind.
  services=("${loader[@]}")
else
  emulator=$(command -v qemu-i386-static) || {
    echo "wine.sh: this kernel runs no 32-bit code, and qemu-i386-static" \
      "(Debian package qemu-user-static) is missing" >&2
    exit 1
  }
  # A 32-bit-only prefix does not work here: its 32-bit services crash.
  export WINEARCH=win64
  # The loader would re-execute itself, which the kernel refuses; so it
  # cannot start 32-bit programs either, only 64-bit ones such as the
  # prefix's services and the server, which run natively.
  export WINELOADERNOEXEC=1 WINESERVER=/usr/lib/wine/wineserver64
  export WINELOADER=$wine32
  server=$WINESERVER
  # The emulated process loads the mmap fix from lib/i386-linux-gnu, the
  # 64-bit processes it starts inherit LD_PRELOAD and find an empty library
  # in lib/x86_64-linux-gnu: ld.so puts its own folder for $LIB.
  preload=$prefix/preload
  # shellcheck disable=SC2016 # $LIB is ld.so's, not the shell's.
  export QEMU_SET_ENV='LD_PRELOAD='$preload'/$LIB/libwine_mmap_noreplace.so'
  loader=("$emulator" "$wine32")
  services=("$wine64")
fi

# The mmap fix for the emulated loader (see wine_mmap_noreplace.c).
buildPreload() {
  local source lib=$preload/lib
  source=$(dirname "${BASH_SOURCE[0]}")/wine_mmap_noreplace.c
  [[ -f $lib/i386-linux-gnu/libwine_mmap_noreplace.so &&
    ! $source -nt $lib/i386-linux-gnu/libwine_mmap_noreplace.so ]] && return
  # LD_PRELOAD splits at blanks and colons, QEMU_SET_ENV at commas.
  if [[ $preload == *[[:space:]:,]* ]]; then
    echo "wine.sh: the build folder's path must hold no blank, colon or" \
      "comma: $preload" >&2
    exit 1
  fi
  mkdir -p "$lib/i386-linux-gnu" "$lib/x86_64-linux-gnu"
  gcc -m32 -O2 -fPIC -shared -nostdlib -Wall -Wextra -Werror \
    -o "$lib/i386-linux-gnu/libwine_mmap_noreplace.so" "$source"
  gcc -O2 -fPIC -shared -nostdlib -x c \
    -o "$lib/x86_64-linux-gnu/libwine_mmap_noreplace.so" /dev/null
}

makePrefix() {
  "${services[@]}" wineboot -i || return
  if [[ $mode == emulated ]]; then
    # The emulated loader cannot start 32-bit helpers, so whatever part of
    # the 32-bit side they would install is taken from Wine's own.
    cp -n /usr/lib/i386-linux-gnu/wine/i386-windows/* \
      "$prefix/drive_c/windows/syswow64/" || return
  fi
  # A crash must fail the test, not open the debugger, which may end the
  # program with code 0 and a backtrace on standard output. A 64-bit prefix
  # has the setting once for each kind of program.
  local views=("") view
  [[ $WINEARCH == win64 ]] && views=(/reg:32 /reg:64)
  for view in "${views[@]}"; do
    "${services[@]}" reg add \
      'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /t REG_SZ /d '' /f ${view:+"$view"} || return
  done
  "$server" -w
}

# Setup deletes only a folder of its own making: one that holds the mark it
# writes first, before anything else goes in (so a set-up cut short is still
# its own), or .complete (a prefix that an older wine.sh made). A mistyped
# folder is never deleted.
mark=.wine.sh-prefix

ownPrefix() {
  [[ -d $prefix ]] || return
  [[ -f $prefix/$mark ]] && return
  case $(cat "$prefix/.complete" 2>/dev/null) in
    native | emulated) return ;;
  esac
  [[ -z $(ls -A "$prefix") ]]
}

setup() {
  # A prefix made for the other mode is made anew.
  if [[ $(cat "$prefix/.complete" 2>/dev/null) != "$mode" ]]; then
    if [[ -e $prefix ]] && ! ownPrefix; then
      echo "wine.sh: refusing to delete $prefix, which is neither an empty" \
        "folder nor a Wine prefix that wine.sh made: give another folder," \
        "or delete it first" >&2
      exit 1
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    echo "A Wine prefix made by wine.sh, which deletes and remakes it at will." \
      >"$prefix/$mark"
    # The log stays in the prefix too, so that nothing beside it is touched.
    if ! makePrefix >"$prefix/setup.log" 2>&1; then
      echo "wine.sh: could not make the Wine prefix $prefix:" >&2
      cat "$prefix/setup.log" >&2
      exit 1
    fi
    echo "$mode" >"$prefix/.complete"
  fi
  if [[ $mode == emulated ]]; then buildPreload; fi
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
    "${services[@]}" cmd /c exit </dev/null >/dev/null 2>&1
    ;;
  stop) "$server" -k 2>/dev/null || true ;;
  run)
    # A test never reads the terminal of whoever runs it.
    [[ -t 0 ]] && exec </dev/null
    exec "${loader[@]}" "$@"
    ;;
  capture)
    # A process that the program starts, such as a Wine service it wakes,
    # inherits the program's standard output and error and may live as
    # long as the server. A caller that waits for the end of the output,
    # as CTest does for a test, would wait for that process too (CTest
    # until the test's time ran out, as the server stops only after the
    # last test). So the program writes into files, passed on when it ends.
    [[ -t 0 ]] && exec </dev/null
    caught=$(mktemp -d "$prefix/capture.XXXXXX")
    trap 'rm -rf "$caught"' EXIT
    status=0
    "${loader[@]}" "$@" >"$caught/output" 2>"$caught/error" || status=$?
    cat "$caught/output"
    cat "$caught/error" >&2
    exit "$status"
    ;;
  *)
    echo "wine.sh: unknown command '$command'" >&2
    exit 2
    ;;
esac
