#!/usr/bin/env bash
# A Windows program that leaves a process of its own running, holding the
# output it was given, as a Wine helper that a program wakes does. Through
# the command under test, its caller must still get the program's output
# and exit code as soon as the program ends, not when that process does.
#   wine_capture_test.sh COMMAND... PROGRAM
#     (COMMAND: cmake/wine.sh ARCH PREFIX capture; PROGRAM: lingering_child)
# Exit code 77, a skip, where the program can start no child.
set -uo pipefail

left=60
started=$SECONDS
output=$("$@" "$left" 2>&1)
status=$?
took=$((SECONDS - started))

if ((status == 77)); then
  echo "skipped: $output"
  exit 77
fi
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
