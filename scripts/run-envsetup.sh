#!/usr/bin/env bash
# Opens the driver environment sheet ("Qelta Environment Setting") in the send wizard's trial state
# folder, so that the next `bash scripts/run-sendwizard.sh` uses the header font, the sender texts
# and the printer chosen here. The printer list shows the print queues of the CUPS server this
# machine's clients use (only read: nothing is changed there). Nothing else is needed: no
# component servers, device or network.
#
#   run-envsetup.sh [--reset] [--state FOLDER]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run, made when missing)
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/trial-state.sh
trial_state run-envsetup "envsetup" "$@"

status=0
"$bin/envsetup" || status=$?
[ "$status" = 0 ] || echo "run-envsetup: envsetup ended with exit code $status" >&2
exit "$status"
