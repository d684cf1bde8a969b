#!/usr/bin/env bash
# Runs the send wizard on a sample fax as the printer driver starts it, with no printer, device or
# network: after `bash scripts/check.sh` has built the suite, it prepares a private state folder
# (QELTA_ROOT, kept for later runs), registers the component servers there, writes the settings
# (the job stream goes to a file instead of a print queue), writes a new three-page sample fax and
# starts the wizard on it. Once the wizard closes, it prints where the job stream and the sending
# log entry are.
set -euo pipefail
cd "$(dirname "$0")/.."

bin=build/default/bin
state=$PWD/build/sendwizard-run

fail() { echo "run-sendwizard: $*" >&2; exit 1; }

if [ ! -x "$bin/sendwizard" ] || [ ! -x "$bin/qelta-sample" ]; then
  fail "the suite is not built: run 'bash scripts/check.sh' (or 'bash scripts/check.sh --quick') first"
fi
# The wizard's windows go to an X display (Wayland desktops provide one for X programs).
if [ -z "${DISPLAY:-}" ]; then
  fail "no display (DISPLAY is not set): the wizard is a desktop program; run this in a graphical session"
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

"$bin/qelta-sample" results || echo "(nothing was sent: press Finish on the Preview page to send)"
exit "$status"
