#!/usr/bin/env bash
# A Windows program that leaves a process of its own running, holding the
# output it was given, as a Wine helper that a program wakes does. Through
# the command under test, its caller must still get the program's output
# and exit code as soon as the program ends, not when that process does.
# (Where 32-bit Wine runs emulated, cmd starts no child and nothing is left
# running: only the output and the exit code are checked there.)
#   wine_capture_test.sh COMMAND...  (COMMAND: cmake/wine.sh ARCH PREFIX capture)
set -uo pipefail

left=60
started=$SECONDS
output=$("$@" cmd /c "start /b ping -n $left 127.0.0.1 >nul & echo ended& exit 3" 2>&1)
status=$?
took=$((SECONDS - started))

failed=0
if [[ $output != $'ended\r' ]]; then
  echo "output: $(printf '%q' "$output"), expected the program's own line"
  failed=1
fi
if ((status != 3)); then
  echo "exit code $status, expected the program's 3"
  failed=1
fi
if ((took >= left / 2)); then
  echo "the caller waited $took s, for the process the program left running"
  failed=1
fi
exit $failed
