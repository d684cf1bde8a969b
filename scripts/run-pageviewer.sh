#!/usr/bin/env bash
# Runs the fax image viewer on the trial run's three-page sample fax, as the send wizard's Zoom
# starts it (/T"title" /P "file"): after `bash scripts/check.sh` has built the suite, it prepares the
# state folder the send wizard's trial run uses (kept for later runs; HKLM "Viewer" names the viewer
# so that the wizard's Zoom starts it too) and opens a new sample fax, or the file given.
#
#   run-pageviewer.sh [--reset] [--state FOLDER] [FILE]
#     --reset          start from a fresh state folder (the old one is deleted)
#     --state FOLDER   the state folder (default build/sendwizard-run)
#     FILE             a file to open instead of the sample fax (TIFF, FAX, BMP, PCX, DCX, a document
#                      or a link file), as the desktop's open starts the viewer
# QELTA_BIN names the folder of the built programs (default build/default/bin).
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/trial-state.sh
trial_takes_file=1
trial_file_usage=" [FILE]"
trial_state run-pageviewer "pageviewer qelta-sample" "$@"
file=$trial_file

# The wizard's command line ends with the sample fax.
wizard_args=$("$bin/qelta-sample" prepare) || fail "the state folder could not be prepared"
if [ -n "$file" ]; then
  [ -f "$file" ] || fail "no such file: $file"
  echo "Starting: pageviewer $file"
  exec "$bin/pageviewer" "$file"
fi
fax=$(tail -n 1 <<<"$wizard_args")
[ -f "$fax" ] || fail "the sample fax was not written"
echo "Starting: pageviewer /T\"Sample fax\" /P \"$fax\""
exec "$bin/pageviewer" "/T\"Sample fax\"" /P "\"$fax\""
