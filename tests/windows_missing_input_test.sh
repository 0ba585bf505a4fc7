#!/usr/bin/env bash
# A whole run of the Windows program under Wine, answered with CR LF, whose
# input file is missing: the exact dialogue and failure report and exit
# code 1. Only a program that really ran can give this output, so a Wine
# that starts nothing and exits 0 fails here.
#   windows_missing_input_test.sh FOLDER COMMAND...  (COMMAND runs quorbel.exe)
set -uo pipefail

folder=$1
shift
rm -rf "$folder" && mkdir -p "$folder" && cd "$folder" || exit 1

printf 'missing.raw\r\nsmoke\r\n' | "$@" >output
status=$?

# The place of the failed check differs from build to build.
sed -E 's/ at [0-9A-F]{8}\.$/ at ADDRESS./' output >found
printf '%s\r\n' Quorbel 'Enter input filename:' \
  'Enter a name for your new patch:' >expected
printf 'Exception EInOutError in module quorbel.exe at ADDRESS.\nFile not found.\r\n' \
  >>expected

failed=0
if ! cmp -s expected found; then
  echo "standard output differs from what was expected:"
  od -c output
  failed=1
fi
if ((status != 1)); then
  echo "exit code $status, expected 1"
  failed=1
fi
if [[ -e temp || -e 1smoke.pch ]]; then
  echo "the run left files it must not have made"
  failed=1
fi
exit $failed
