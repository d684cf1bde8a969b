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

. scripts/trial-state.sh
trial_state run-sendwizard "sendwizard qelta-sample" "$@"

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
