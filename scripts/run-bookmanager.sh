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

. scripts/trial-state.sh
trial_state run-bookmanager "bookmanager qelta-sample" "$@"

book=$("$bin/qelta-sample" book) || fail "the sample phone book could not be written"
echo "Starting: bookmanager $book"
status=0
"$bin/bookmanager" "$book" || status=$?
[ "$status" = 0 ] || echo "run-bookmanager: the editor ended with exit code $status" >&2
exit "$status"
