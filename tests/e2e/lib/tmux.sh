# Helpers for the end-to-end tests: run a program in a private tmux server,
# read its screen, type into it, click on it.
# Usage: source lib/tmux.sh BUILD_DIR
set -euo pipefail

BUILD=$(cd "$1" && pwd)
WORK=$(mktemp -d /tmp/velmora-e2e.XXXXXX)
SOCKET="velmora-e2e-$$"
export VELMORA_DEVICE="$WORK/device"

cleanup() {
  tmux -L "$SOCKET" kill-server 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- screen ---" >&2
  screen >&2 || true
  echo "--- output ---" >&2
  cat "$WORK"/*.out "$WORK"/*.err >&2 2>/dev/null || true
  exit 1
}

# start NAME COMMAND...: runs the command in a new 80x24 window (SIZE=WxH
# for another size); its exit code goes to $WORK/NAME.out, its error output
# to $WORK/NAME.err (standard output is the terminal it draws on). A
# missing $VELMORA_DEVICE is made a sample device first. There is no
# display there, so that VelmoraCfg takes the terminal.
start() {
  local name=$1; shift
  local command size=${SIZE:-80x24}
  [ -e "$VELMORA_DEVICE" ] || "$BUILD/velmora-device" init "$VELMORA_DEVICE" >/dev/null
  printf -v command '%q ' "$@"
  tmux -L "$SOCKET" new-session -d -s "$name" -x "${size%x*}" -y "${size#*x}" \
    "VELMORA_DEVICE='$VELMORA_DEVICE' env -u DISPLAY -u WAYLAND_DISPLAY $command 2>'$WORK/$name.err'; echo \"exit=\$?\" > '$WORK/$name.out'; sleep 600"
  CURRENT=$name
}

screen() { tmux -L "$SOCKET" capture-pane -t "$CURRENT" -p; }

# program_pid NAME [PROGRAM]: the process of PROGRAM ($BUILD/VelmoraCfg by
# default) that runs in window NAME, looked for down the tree from the
# window's shell: the tests run side by side, and another test's program
# is not this one's.
program_pid() {
  local program=${2:-$BUILD/VelmoraCfg} pids pid command
  pids=$(tmux -L "$SOCKET" display -p -t "$1" '#{pane_pid}')
  while [ -n "$pids" ]; do
    for pid in $pids; do
      command=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || continue
      [[ "$command" != "$program "* ]] || { echo "$pid"; return 0; }
    done
    pids=$(for pid in $pids; do pgrep -P "$pid" || true; done)
  done
  return 1
}

# A TCP port on 127.0.0.1 that nothing listens on now: the tests run side by
# side, so none takes a fixed one.
free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# poll SECONDS MESSAGE COMMAND...: until COMMAND succeeds, or fail with MESSAGE.
poll() {
  local limit=$1 message=$2 waited=0
  shift 2
  until "$@"; do
    sleep 0.1
    waited=$((waited + 1))
    [ "$waited" -lt $((limit * 10)) ] || fail "$message"
  done
}

shows() { screen | grep -qF -- "$1"; }
ended() { grep -q '^exit=' "$WORK/$1.out" 2>/dev/null; }

# wait_for TEXT [SECONDS]: until the screen shows TEXT.
wait_for() { poll "${2:-10}" "the screen never showed '$1'" shows "$1"; }

# wait_exit NAME [SECONDS]: until the program in NAME has ended; prints its output.
wait_exit() {
  poll "${2:-10}" "$1 did not end" ended "$1"
  cat "$WORK/$1.out"
}

keys() {
  local key
  for key in "$@"; do
    tmux -L "$SOCKET" send-keys -t "$CURRENT" "$key"
    sleep 0.15
  done
}

type_text() { tmux -L "$SOCKET" send-keys -t "$CURRENT" -l "$1"; sleep 0.2; }

# click COL ROW / double_click COL ROW: 1-based cells, as the terminal counts.
click() {
  tmux -L "$SOCKET" send-keys -t "$CURRENT" -l $'\e[<0;'"$1;$2"'M'$'\e[<0;'"$1;$2"'m'
  sleep 0.3
}
double_click() {
  sleep 0.7  # apart from any click before it
  tmux -L "$SOCKET" send-keys -t "$CURRENT" -l $'\e[<0;'"$1;$2"'M'$'\e[<0;'"$1;$2"'m'
  sleep 0.05
  tmux -L "$SOCKET" send-keys -t "$CURRENT" -l $'\e[<0;'"$1;$2"'M'$'\e[<0;'"$1;$2"'m'
  sleep 0.4
}

# row_of TEXT: the 1-based screen row that shows TEXT first.
row_of() { screen | grep -nF -- "$1" | head -n 1 | cut -d: -f1; }

# col_of TEXT: the 1-based screen column where TEXT first shows.
col_of() {
  local LC_ALL=C.UTF-8 line before
  line=$(screen | grep -F -- "$1" | head -n 1)
  before=${line%%"$1"*}
  echo $((${#before} + 1))
}

# click_on TEXT / double_click_on TEXT: on the first cell of TEXT.
click_on() { click "$(col_of "$1")" "$(row_of "$1")"; }
double_click_on() { double_click "$(col_of "$1")" "$(row_of "$1")"; }

# wheel COL ROW up|down: one notch of the mouse wheel.
wheel() {
  local button=65
  [ "$3" = up ] && button=64
  tmux -L "$SOCKET" send-keys -t "$CURRENT" -l $'\e[<'"$button;$1;$2"'M'
  sleep 0.3
}

# wait_row LABEL TEXT [SECONDS]: until one screen row shows both.
row_shows() { screen | grep -F -- "$1" | grep -qF -- "$2"; }
wait_row() { poll "${3:-10}" "no row showed '$1' with '$2'" row_shows "$1" "$2"; }

device() { "$BUILD/velmora-device" "$@"; }

expect_contains() {
  local haystack=$1 needle=$2
  grep -qF -- "$needle" <<<"$haystack" || { echo "expected to find: $needle" >&2; echo "in: $haystack" >&2; exit 1; }
}
