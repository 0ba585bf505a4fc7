#!/usr/bin/env bash
# The Windows launchers as a user meets them, under Wine: the unpacked zip
# in a folder whose name holds a space, with the examples put beside the
# programs; each launcher started as a double-click starts it (from another
# folder, a dropped file as its argument), answered on standard input and
# sent a key only once its window waits. A copy of the same folder gets the
# same answers from the native programs. The window must show the
# program's own lines, then a blank line and the key prompt; the exit code
# must be the program's; and in the end both folders must hold the same
# files, byte for byte.
#   windows_launcher_test.sh ZIP_FOLDER NATIVE_BUILD COMMAND...
# NATIVE_BUILD holds quorbel and quorbel-preview; COMMAND runs a Windows
# program (cmake/wine.sh ARCH PREFIX run) from another folder: absolute
# paths.
set -uo pipefail
# A window that has closed makes a key sent to it fail, not this script.
trap '' PIPE

source=$1 native=$(realpath "$2")
shift 2
wine=("$@")

scratch=$(mktemp -d)
trap 'exec 7>&-; rm -rf "$scratch"' EXIT
user="$scratch/My music/Quorbel 1"
mkdir -p "$user" "$scratch/Recordings"
cp -R "$source/." "$user/"
cp "$user"/examples/* "$user/"
cp -R "$user" "$scratch/native"
dropped="$scratch/Recordings/my sample.raw"
cp "$user/sample.raw" "$dropped"
windowsPath() { printf 'Z:%s' "${1//\//\\}"; }

failed=0
fail() {
  echo "FAILED: $*"
  failed=1
}

# The native program's output for the same answers in the native folder,
# as the Windows program prints it: the run's module is quorbel.exe there
# (and the place of a failed check differs between builds), the preview
# ends its lines with CR LF, as the C library writes text on Windows. Sets
# expectedStatus.
nativeRun() { # ANSWERS PROGRAM [ARGUMENT]
  local answers=$1 windows
  shift
  windows='s/ in module quorbel at [0-9A-F]{8}\.$/ in module quorbel.exe at ADDRESS./'
  [[ $1 == quorbel-preview ]] && windows='s/$/\r/'
  (cd "$scratch/native" && printf '%b' "$answers" | "$native/$1" "${@:2}") \
    2>/dev/null | sed -E "$windows" >"$scratch/expected"
  expectedStatus=${PIPESTATUS[0]}
}

# Whether the window shows the expected output, then CR LF and the key
# prompt, one unfinished line; before the output, only where ASKED, the
# launcher's question, another unfinished line.
windowShows() { # ASKED
  local shown=$scratch/shown total prompt body question
  sed -E 's/ at [0-9A-F]{8}\.$/ at ADDRESS./' "$transcript" >"$shown"
  total=$(stat -c %s "$shown")
  # tail -n 1 gives the unfinished last line, or a whole one (no prompt).
  prompt=$(tail -n 1 "$shown" | wc -c)
  [[ $(tail -c 1 "$shown") != '' ]] && ((prompt > 0)) || return 1
  [[ $(tail -n 1 "$shown") != *$'\r'* ]] || return 1
  body=$((total - prompt))
  question=$((body - $(stat -c %s "$scratch/expected") - 2))
  ((question >= 0)) || return 1
  if [[ $1 == asked ]]; then
    ((question > 0)) && [[ $(head -c "$question" "$shown") != *$'\n'* ]] ||
      return 1
  else
    ((question == 0)) || return 1
  fi
  cmp -s <(head -c "$body" "$shown" | tail -c +$((question + 1))) \
    <(cat "$scratch/expected" && printf '\r\n')
}

# Starts LAUNCHER from the scratch folder and types ANSWERS; once its window
# shows what it should, or after a minute, checks that it still waits and
# presses a key. Sets status.
launch() { # NAME ASKED ANSWERS LAUNCHER [ARGUMENT]
  local name=$1 asked=$2 answers=$3 pid tries=0
  shift 3
  transcript=$scratch/transcript
  rm -f "$scratch/keys"
  mkfifo "$scratch/keys"
  (cd "$scratch" && exec "${wine[@]}" "$(windowsPath "$user/$1")" "${@:2}") \
    <"$scratch/keys" >"$transcript" 2>/dev/null &
  pid=$!
  exec 7>"$scratch/keys"
  printf '%b' "$answers" >&7
  until windowShows "$asked" || ! kill -0 "$pid" 2>/dev/null; do
    ((tries++ < 600)) || break
    sleep 0.1
  done
  # A window that does not wait for the key has closed by now.
  sleep 1
  kill -0 "$pid" 2>/dev/null ||
    fail "$name: the window closed without waiting for a key"
  printf 'x' >&7 2>/dev/null
  exec 7>&-
  wait "$pid"
  status=$?
  if ! windowShows "$asked"; then
    fail "$name: the window does not show the program's own lines:"
    od -c "$transcript"
  fi
  ((status == expectedStatus)) ||
    fail "$name: exit code $status, the program's is $expectedStatus"
}

answers='sample.raw\r\nwave\r\n'
# Enter alone at the preview's question: the templates only.
nativeRun '' quorbel-preview
launch 'preview, templates only' asked '\r\n' 'Quorbel preview.cmd'

nativeRun "$answers" quorbel
launch 'run' no "$answers" Quorbel.cmd

# The file dropped on the launcher, from another folder: the window shows
# its Windows name.
nativeRun '' quorbel-preview "$dropped"
to=$(windowsPath "$dropped")
to=${to//\\/\\\\}
sed -i "s|$dropped|${to//&/\\&}|" "$scratch/expected"
launch 'preview, dropped file' no '' 'Quorbel preview.cmd' \
  "$(windowsPath "$dropped")"

# A missing template: the failure report, exit code 1, and the patches
# before it written.
rm "$user/3Template.pch" "$scratch/native/3Template.pch"
answers='sample.raw\r\nbroken\r\n'
nativeRun "$answers" quorbel
((expectedStatus == 1)) || fail "the native run did not fail"
launch 'run, missing template' no "$answers" Quorbel.cmd

# The preview now foresees the failure (exit code 2). A file dragged into
# the window arrives in quotes.
nativeRun '' quorbel-preview sample.raw
launch 'preview, typed name' asked '"sample.raw"\r\n' 'Quorbel preview.cmd'

diff -r "$scratch/native" "$user" || fail "the folders differ"
if ((failed == 0)); then
  echo "== launchers: 5 windows as the native programs, in '${user#"$scratch"/}'"
fi
exit $failed
