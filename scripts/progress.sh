# Progress of a long step on one line: source it, then pipe the step's
# output through `progress HEADER PATTERN LOG`. Lines matching PATTERN (an
# extended regular expression) show on standard error, after HEADER on a
# line of its own, on a terminal each in place of the one before; every
# line goes to LOG, which the caller shows when the step fails. Nothing
# matching, nothing shown (not even HEADER).
progress() {
  local header=$1 pattern=$2 log=$3 line shown=0 width
  width=$(tput cols 2>/dev/null || echo 80)
  : > "$log"
  while IFS= read -r line; do
    printf '%s\n' "$line" >> "$log"
    [[ $line =~ $pattern ]] || continue
    [ -z "$header" ] || echo "$header" >&2
    header=
    if [ -t 2 ]; then
      printf '\r\033[K%s' "${line:0:$((width - 1))}" >&2
      shown=1
    else
      printf '%s\n' "$line" >&2
    fi
  done
  [ "$shown" = 0 ] || printf '\r\033[K' >&2
}

# step_failed WHAT LOG: says which step failed and shows the end of its output.
step_failed() {
  echo "$1 failed; its last lines:" >&2
  tail -n 40 "$2" >&2
  exit 1
}
