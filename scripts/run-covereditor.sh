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

. scripts/trial-state.sh
trial_takes_file=1
trial_file_usage=" [FILE]"
trial_state run-covereditor "covereditor qelta-sample" "$@"
file=$trial_file

cover=$("$bin/qelta-sample" cover) || fail "the state folder could not be prepared"
[ -n "$file" ] || file=$cover
echo "Starting: covereditor $file"
exec "$bin/covereditor" "$file"
