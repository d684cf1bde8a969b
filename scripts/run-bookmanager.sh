#!/usr/bin/env bash
# Opens the phone book editor on the sample phone book ("Sample": folders, fax, Internet-fax and
# group records, favourites) in the trial run's private state folder (QELTA_ROOT, kept for later
# runs and shared with run-sendwizard.sh), after `bash scripts/check.sh` has built the suite. The
# phone book's server is registered there and the sample book written through the phone book
# store when the folder has none; changes made in the editor stay in the book.
#
#   run-bookmanager.sh [--reset] [--state FOLDER]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "run-bookmanager: $*" >&2; exit 1; }

bin=${QELTA_BIN:-build/default/bin}
state=$PWD/build/sendwizard-run
reset=0
while [ $# -gt 0 ]; do
  case "$1" in
    --reset) reset=1 ;;
    --state) [ $# -ge 2 ] || fail "--state needs a folder"; state=$(realpath -m -- "$2"); shift ;;
    *) fail "unknown argument '$1' (usage: run-bookmanager.sh [--reset] [--state FOLDER])" ;;
  esac
  shift
done

if [ ! -x "$bin/bookmanager" ] || [ ! -x "$bin/qelta-sample" ]; then
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

book=$("$bin/qelta-sample" book) || fail "the sample phone book could not be written"
echo "Starting: bookmanager $book"
status=0
"$bin/bookmanager" "$book" || status=$?
[ "$status" = 0 ] || echo "run-bookmanager: the editor ended with exit code $status" >&2
exit "$status"
