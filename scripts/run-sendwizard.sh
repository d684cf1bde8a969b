#!/usr/bin/env bash
# Runs the send wizard on a sample fax as the printer driver starts it, with no printer, device or
# network: after `bash scripts/check.sh` has built the suite, it prepares a private state folder
# (QELTA_ROOT, kept for later runs), registers the component servers there, writes the settings
# (the job stream goes to a file instead of a print queue), a sample cover sheet and phone book and
# a new three-page sample fax, and starts the wizard on it. Once the wizard closes, it prints what
# this run made: every job stream and sending log entry, or the failure log of a failed send (the
# exit code is then non-zero).
#
#   run-sendwizard.sh [--reset] [--state FOLDER]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "run-sendwizard: $*" >&2; exit 1; }

bin=${QELTA_BIN:-build/default/bin}
state=$PWD/build/sendwizard-run
reset=0
while [ $# -gt 0 ]; do
  case "$1" in
    --reset) reset=1 ;;
    --state) [ $# -ge 2 ] || fail "--state needs a folder"; state=$(realpath -m -- "$2"); shift ;;
    *) fail "unknown argument '$1' (usage: run-sendwizard.sh [--reset] [--state FOLDER])" ;;
  esac
  shift
done

if [ ! -x "$bin/sendwizard" ] || [ ! -x "$bin/qelta-sample" ]; then
  fail "the suite is not built: run 'bash scripts/check.sh' (or 'bash scripts/check.sh --quick') first"
fi
# The wizard's windows go to an X display (Wayland desktops provide one for X programs), or to
# the platform QT_QPA_PLATFORM names.
if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  fail "no display (DISPLAY is not set): the wizard is a desktop program; run this in a graphical session"
fi

if [ "$reset" = 1 ] && [ -e "$state" ]; then
  echo "Starting from a fresh state folder (deleting $state)"
  rm -rf -- "$state"
fi
export QELTA_ROOT=$state
mkdir -p "$QELTA_ROOT"
echo "State folder (QELTA_ROOT): $QELTA_ROOT"

# The wizard's command line, one argument a line.
wizard_args=$("$bin/qelta-sample" prepare) || fail "the state folder could not be prepared"
mapfile -t args <<<"$wizard_args"
echo "Starting: sendwizard ${args[*]}"
status=0
"$bin/sendwizard" "${args[@]}" || status=$?
[ "$status" = 0 ] || echo "run-sendwizard: the wizard ended with exit code $status" >&2

# What this run made (nothing of an earlier run); non-zero after a failed send.
results=0
"$bin/qelta-sample" results || results=$?
[ "$status" = 0 ] || exit "$status"
exit "$results"
