#!/usr/bin/env bash
# Runs the cover sheet editor on the sample cover sheet of the trial run's state folder (the one
# scripts/run-sendwizard.sh uses, kept for later runs): after `bash scripts/check.sh` has built the
# suite, it prepares the folder as the send wizard's trial run does (settings, the sample cover sheet,
# HKLM "CvrEditor" so that the wizard can start the editor) and opens the sample cover sheet.
# Sheets saved with "Save as" land in the cover sheet folder the wizard lists.
#
#   run-covereditor.sh [--reset] [--state FOLDER] [FILE]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run)
#     FILE             a cover sheet to open instead of the sample one ("/e": an empty sheet)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "run-covereditor: $*" >&2; exit 1; }

bin=${QELTA_BIN:-build/default/bin}
state=$PWD/build/sendwizard-run
reset=0
file=
while [ $# -gt 0 ]; do
  case "$1" in
    --reset) reset=1 ;;
    --state) [ $# -ge 2 ] || fail "--state needs a folder"; state=$(realpath -m -- "$2"); shift ;;
    -*) [ "${1,,}" = "-e" ] || fail "unknown argument '$1' (usage: run-covereditor.sh [--reset] [--state FOLDER] [FILE])"
        file=$1 ;;
    *) file=$1 ;;
  esac
  shift
done

if [ ! -x "$bin/covereditor" ] || [ ! -x "$bin/qelta-sample" ]; then
  fail "the suite is not built: run 'bash scripts/check.sh' (or 'bash scripts/check.sh --quick') first"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  fail "no display (DISPLAY is not set): the editor is a desktop program; run this in a graphical session"
fi

if [ "$reset" = 1 ] && [ -e "$state" ]; then
  echo "Starting from a fresh state folder (deleting $state)"
  rm -rf -- "$state"
fi
export QELTA_ROOT=$state
mkdir -p "$QELTA_ROOT"
echo "State folder (QELTA_ROOT): $QELTA_ROOT"

cover=$("$bin/qelta-sample" cover) || fail "the state folder could not be prepared"
[ -n "$file" ] || file=$cover
echo "Starting: covereditor $file"
exec "$bin/covereditor" "$file"
