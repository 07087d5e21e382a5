#!/usr/bin/env bash
# velmora-device's command line as scripts use it: every kind of bad use
# ends with exit status 2 and one line naming the problem and --help; the
# device options work in all their spellings; "-", /dev/stdin and a pipe
# carry .reg text; a failed write to standard output or to a file is exit
# status 1 with a message; `ports` keeps its columns for long paths.
source "$(dirname "$0")/lib/tmux.sh" "$1"
tool="$BUILD/velmora-device"
dir="$WORK/cli-device"
"$tool" init "$dir" >/dev/null
"$tool" --device "$dir" reg export >"$WORK/before.reg"

# ARGUMENTS | what the one line says
usage_errors=(
  "|no command given"
  "frobnicate|unknown command 'frobnicate'"
  "--device $dir frobnicate|unknown command 'frobnicate'"
  "--frobnicate active|unknown option '--frobnicate'"
  "--device $dir active --all|active: unknown option '--all'"
  "active --device $dir|'--device' goes before the command"
  "--device|--device needs a folder"
  "--device=|--device needs a folder"
  "-d|--device needs a folder"
  "--device $dir boot extra|boot: unexpected argument 'extra'"
  "--device $dir active extra|active: unexpected argument 'extra'"
  "--device $dir activate|activate: missing KEY"
  "--device $dir activate a b|activate: unexpected argument 'b'"
  "--device $dir deactivate|deactivate: missing HANDLE"
  "--device $dir deactivate -1|deactivate: not a handle: '-1'"
  "--device $dir deactivate 4294967296|deactivate: not a handle: '4294967296'"
  "--device $dir deactivate 12x|deactivate: not a handle: '12x'"
  "--device $dir version|version: missing PATH"
  "--device $dir stage-update|stage-update: missing FILE"
  "--device $dir reg|reg needs a command"
  "--device $dir reg frobnicate|reg: unknown command 'frobnicate'"
  "--device $dir reg import|reg import: missing FILE"
  "--device $dir reg import a.reg b.reg|reg import: unexpected argument 'b.reg'"
  "--device $dir reg export a.reg b.reg|reg export: unexpected argument 'b.reg'"
  "init a b|init: unexpected argument 'b'"
  "init a -D X|init: -D, -I, --strings and --skip-missing-includes go with --from"
  "init a --from|init: --from needs a value"
  "--device $dir reg import --bsp|reg import: missing FILE"
  "--device $dir reg import a.reg -I|reg import: -I needs a value"
  "--version active|--version takes no command"
)
for case in "${usage_errors[@]}"; do
  args=${case%%|*} expected=${case#*|}
  status=0
  # shellcheck disable=SC2086 # the arguments are words
  "$tool" $args >"$WORK/out" 2>"$WORK/err" </dev/null || status=$?
  [ "$status" = 2 ] || fail "'$args' exited $status, not 2"
  [ ! -s "$WORK/out" ] || fail "'$args' wrote to standard output"
  [ "$(wc -l <"$WORK/err")" = 1 ] || { cat "$WORK/err"; fail "'$args' did not say it in one line"; }
  grep -qF -- "$expected" "$WORK/err" || { cat "$WORK/err"; fail "'$args': expected '$expected'"; }
  grep -qF -- "--help" "$WORK/err" || fail "'$args' does not point to --help"
done
grep -q "unknown command 'reg'" < <("$tool" --device "$dir" reg import 2>&1) && fail "reg import: 'unknown command reg'"
"$tool" --device "$dir" reg export >"$WORK/after.reg"
cmp -s "$WORK/before.reg" "$WORK/after.reg" || fail "bad use changed the registry"

# Every spelling of the device option, and help after a command.
expected=$("$tool" --device "$dir" active)
for spelling in "--device=$dir" "-d $dir" "-d$dir"; do
  # shellcheck disable=SC2086
  [ "$("$tool" $spelling active)" = "$expected" ] || fail "'$spelling active' differs"
done
[ "$(VELMORA_DEVICE=$dir "$tool" active)" = "$expected" ] || fail "VELMORA_DEVICE differs"
"$tool" reg import --help | grep -q "usage: velmora-device" || fail "reg import --help"
"$tool" -h | grep -q "usage: velmora-device" || fail "-h"

# .reg text through the standard streams.
"$tool" -d "$dir" reg export - >"$WORK/dash.reg"
cmp -s "$WORK/before.reg" "$WORK/dash.reg" || fail "reg export - differs from reg export"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Piped]\n"Way"="%s"\n' \
  dash >"$WORK/dash-in.reg"
"$tool" -d "$dir" reg import - <"$WORK/dash-in.reg" || fail "reg import - from a file"
sed 's/dash/pipe/' "$WORK/dash-in.reg" | "$tool" -d "$dir" reg import - || fail "reg import - from a pipe"
sed 's/dash/stdin/; s/Way/Other/' "$WORK/dash-in.reg" | "$tool" -d "$dir" reg import /dev/stdin ||
  fail "reg import /dev/stdin from a pipe"
"$tool" -d "$dir" reg export | grep -A2 -F '[HKEY_LOCAL_MACHINE\Piped]' >"$WORK/piped"
grep -qx '"Way"="pipe"' "$WORK/piped" && grep -qx '"Other"="stdin"' "$WORK/piped" ||
  { cat "$WORK/piped"; fail "the piped imports did not arrive"; }

# Bad input from a pipe is named as standard input; an endless one is cut
# off at the file size limit, in bounded memory.
limit="ulimit -v 1000000;"
ldd "$tool" | grep -q asan && limit=""
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\X]\n"X"=dword:zz\n' |
  { "$tool" -d "$dir" reg import - 2>"$WORK/err" && fail "a bad pipe was imported"; true; }
grep -q "standard input: line 4: a dword needs 1 to 8 hex digits" "$WORK/err" || { cat "$WORK/err"; fail "bad pipe"; }
if timeout 30 bash -c "$limit exec \"\$0\" -d \"\$1\" reg import -" "$tool" "$dir" </dev/zero 2>"$WORK/err"; then
  fail "an endless standard input was imported"
fi
grep -q "standard input: larger than 64 MiB" "$WORK/err" || { cat "$WORK/err"; fail "endless input"; }

# A failed write to standard output is a failure, with a message.
for command in "reg export" "reg export -" "active" "version \\windows\\velmora.dll" "--help" "--version"; do
  status=0
  # shellcheck disable=SC2086
  "$tool" -d "$dir" $command >/dev/full 2>"$WORK/err" || status=$?
  [ "$status" = 1 ] || fail "'$command >/dev/full' exited $status"
  grep -q "cannot write standard output" "$WORK/err" || { cat "$WORK/err"; fail "'$command >/dev/full' said nothing"; }
done

# A failed export names the file asked for, not a temporary file.
if "$tool" -d "$dir" reg export "$WORK/missing/saved.reg" 2>"$WORK/err"; then fail "exported into nowhere"; fi
grep -qF "'$WORK/missing/saved.reg'" "$WORK/err" || { cat "$WORK/err"; fail "the export error names no file"; }
grep -qF ".tmp." "$WORK/err" && fail "the export error names the temporary file"

# `ports` of a device in a long folder: every row starts its columns where
# the heading does.
long="$WORK/a-device-folder-with-a-rather-long-name-for-its-endpoints"
"$tool" init "$long" >/dev/null
RUN_PID=
stop_run() {
  [ -z "$RUN_PID" ] || { kill "$RUN_PID" 2>/dev/null || true; wait "$RUN_PID" 2>/dev/null || true; }
  cleanup
}
trap stop_run EXIT
"$tool" -d "$long" run 2>"$WORK/run.err" &
RUN_PID=$!
listed() { "$tool" -d "$long" ports >"$WORK/ports" && grep -qF "$long/dev/COM4" "$WORK/ports"; }
poll 20 "ports never listed the GPS port's endpoint" listed
terminal_at=$(awk 'NR == 1 { print index($0, "TERMINAL") }' "$WORK/ports")
port_at=$(awk 'NR == 1 { print index($0, "PORT") }' "$WORK/ports")
while read -r row; do
  [ "${row:terminal_at-1:9}" = "/dev/pts/" ] || { cat "$WORK/ports"; fail "TERMINAL column out of line: $row"; }
  [ "${row:port_at-1:3}" = "COM" ] || { cat "$WORK/ports"; fail "PORT column out of line: $row"; }
done < <(tail -n +2 "$WORK/ports" | grep -v '^-')
status=0
"$tool" -d "$long" ports >/dev/full 2>"$WORK/err" || status=$?
[ "$status" = 1 ] || fail "'ports >/dev/full' exited $status"
echo "e2e device_command_line: ok"
