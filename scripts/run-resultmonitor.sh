#!/usr/bin/env bash
# Runs the result monitor in the send wizard's trial state folder (see scripts/run-sendwizard.sh),
# so that the jobs the wizard sends there carry the monitor's address and a notice for them shows
# its pop-up and sets their sending log entry to finished. The monitor runs in the foreground until
# Exit in its tray menu, Ctrl+C, or a close request; a second start ends at once.
#
#   run-resultmonitor.sh [--reset] [--state FOLDER]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
#
# Then, in a second terminal: bash scripts/run-sendwizard.sh (press Finish), and
#   QELTA_ROOT=build/sendwizard-run build/default/bin/qelta-sample notice
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/trial-state.sh
trial_state run-resultmonitor "resultmonitor qelta-sample" "$@"

# A fresh folder gets the trial run's servers and settings (the sending log the monitor updates).
if [ -z "$(ls -A "$QELTA_ROOT")" ]; then
  "$bin/qelta-sample" prepare >/dev/null || fail "the state folder could not be prepared"
fi

echo "Starting: resultmonitor (Exit in its tray menu or Ctrl+C ends it)"
echo "Send a fax with 'bash scripts/run-sendwizard.sh', then report it finished with:"
echo "  QELTA_ROOT=$QELTA_ROOT $bin/qelta-sample notice"
status=0
"$bin/resultmonitor" || status=$?
[ "$status" = 0 ] || fail "the monitor ended with exit code $status"
