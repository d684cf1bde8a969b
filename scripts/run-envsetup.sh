#!/usr/bin/env bash
# Opens the driver environment sheet ("Qelta Environment Setting") in the send wizard's trial state
# folder, so that the next `bash scripts/run-sendwizard.sh` uses the header font, the sender texts
# and the printer chosen here. The printer list shows the print queues of the CUPS server this
# machine's clients use (only read: nothing is changed there). Nothing else is needed: no
# component servers, device or network.
#
#   run-envsetup.sh [--state FOLDER]
#     --state FOLDER   the state folder (default build/sendwizard-run, made when missing)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "run-envsetup: $*" >&2; exit 1; }

bin=${QELTA_BIN:-build/default/bin}
state=$PWD/build/sendwizard-run
while [ $# -gt 0 ]; do
  case "$1" in
    --state) [ $# -ge 2 ] || fail "--state needs a folder"; state=$(realpath -m -- "$2"); shift ;;
    *) fail "unknown argument '$1' (usage: run-envsetup.sh [--state FOLDER])" ;;
  esac
  shift
done

[ -x "$bin/envsetup" ] || fail "the suite is not built: run 'bash scripts/check.sh' (or 'bash scripts/check.sh --quick') first"
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  fail "no display (DISPLAY is not set): the sheet is a desktop program; run this in a graphical session"
fi

export QELTA_ROOT=$state
mkdir -p "$QELTA_ROOT"
echo "State folder (QELTA_ROOT): $QELTA_ROOT"
status=0
"$bin/envsetup" || status=$?
[ "$status" = 0 ] || echo "run-envsetup: envsetup ended with exit code $status" >&2
exit "$status"
