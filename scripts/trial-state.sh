# Sourced by the run-<program>.sh scripts: the trial run's private state folder (QELTA_ROOT, kept
# for later runs) and the checks every run makes first.
#   trial_state SCRIPT "PROGRAM..." "ARGUMENT..."   parses --reset and --state FOLDER from the
#   arguments, checks that the programs are built and a display is there, and exports QELTA_ROOT;
#   sets bin (QELTA_BIN, default build/default/bin) and state. With trial_takes_file=1 one more
#   argument, a file or "-e", is taken into trial_file (trial_file_usage shows it in the usage).
fail() { echo "$script_name: $*" >&2; exit 1; }

trial_state() {
  script_name=$1
  local programs=$2
  shift 2
  bin=${QELTA_BIN:-build/default/bin}
  state=$PWD/build/sendwizard-run
  local reset=0
  trial_file=
  while [ $# -gt 0 ]; do
    case "$1" in
      --reset) reset=1 ;;
      --state) [ $# -ge 2 ] || fail "--state needs a folder"; state=$(realpath -m -- "$2"); shift ;;
      *) if [ "${trial_takes_file:-0}" = 1 ] && [ -z "$trial_file" ] && { [ "${1#-}" = "$1" ] || [ "${1,,}" = "-e" ]; }; then
           trial_file=$1
         else
           fail "unknown argument '$1' (usage: $script_name.sh [--reset] [--state FOLDER]${trial_file_usage:-})"
         fi ;;
    esac
    shift
  done
  # A file named relative to where the script was started (the script runs from the source tree).
  if [ -n "$trial_file" ] && [ "${trial_file#[/-]}" = "$trial_file" ]; then
    trial_file=${OLDPWD:-$PWD}/$trial_file
  fi
  local program
  for program in $programs; do
    [ -x "$bin/$program" ] ||
      fail "the suite is not built: run 'bash scripts/check.sh' (or 'bash scripts/check.sh --quick') first"
  done
  # The windows go to an X display (Wayland desktops provide one for X programs), or to the
  # platform QT_QPA_PLATFORM names.
  if [ -z "${DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    fail "no display (DISPLAY is not set): this is a desktop program; run it in a graphical session"
  fi
  if [ "$reset" = 1 ] && [ -e "$state" ]; then
    echo "Starting from a fresh state folder (deleting $state)"
    rm -rf -- "$state"
  fi
  export QELTA_ROOT=$state
  # Whatever the caller's umask, no other user may write where the trial keeps its state.
  (umask 022 && mkdir -p "$QELTA_ROOT")
  echo "State folder (QELTA_ROOT): $QELTA_ROOT"
}
