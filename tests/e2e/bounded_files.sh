#!/usr/bin/env bash
# Device files and staged updates are read with bounds: /dev/zero, a FIFO
# and a file over the limit (16 MiB) are refused at once by stage-update
# and version, and nothing is staged. `timeout` only guards against a hang.
source "$(dirname "$0")/lib/tmux.sh" "$1"
tool="$BUILD/velmora-device"
dir="$WORK/bounded-device"
"$tool" init "$dir" >/dev/null

mkfifo "$WORK/fifo" "$dir/root/windows/fifo.dll"
truncate -s $((16 * 1024 * 1024 + 1)) "$WORK/huge.dll" "$dir/root/windows/huge.dll"
truncate -s $((16 * 1024 * 1024)) "$dir/root/windows/limit.dll"

for file in /dev/zero "$WORK/fifo" "$WORK/huge.dll"; do
  for force in "" --force; do
    status=0
    timeout 60 "$tool" --device "$dir" stage-update $force "$file" 2>"$WORK/err" || status=$?
    [ "$status" = 1 ] || fail "stage-update $force $file: exit $status"
    case "$file" in
      *huge.dll) expected="larger than 16 MiB" ;;
      *) expected="not a regular file" ;;
    esac
    grep -q "$expected" "$WORK/err" || { cat "$WORK/err"; fail "stage-update $file: no reason"; }
  done
done
[ ! -e "$dir/root/windows/Velmora_tmp.dll" ] || fail "a refused update was staged"

for path in '\windows\fifo.dll' '\windows\huge.dll' '/dev/zero' '\windows'; do
  status=0
  timeout 60 "$tool" --device "$dir" version "$path" >"$WORK/out" 2>"$WORK/err" || status=$?
  [ "$status" = 1 ] || fail "version $path: exit $status"
  [ -s "$WORK/err" ] && [ ! -s "$WORK/out" ] || fail "version $path: no reason"
done
grep -q "no such file" <("$tool" --device "$dir" version '/dev/zero' 2>&1) ||
  fail "/dev/zero is not a device file"
grep -q "larger than 16 MiB" <("$tool" --device "$dir" version '\windows\huge.dll' 2>&1) ||
  fail "a file over the limit was not told"
# A file of the limit is read (its headers only): it has no version.
[ "$("$tool" --device "$dir" version '\windows\limit.dll')" = "" ] || fail "a file of the limit"

# A boot on a full disk: exit 1 with a message, the drivers that ran before
# run on. It needs a small file system of its own (root may mount one).
mkdir "$WORK/disk"
if mount -t tmpfs -o size=2m tmpfs "$WORK/disk" 2>/dev/null; then
  trap 'umount -l "$WORK/disk"; cleanup' EXIT
  full="$WORK/disk/device"
  "$tool" init "$full" >/dev/null
  before=$("$tool" --device "$full" active)
  dd if=/dev/zero of="$WORK/disk/filler" bs=4k 2>/dev/null || true
  status=0
  "$tool" --device "$full" boot >"$WORK/out" 2>"$WORK/err" || status=$?
  [ "$status" = 1 ] || fail "boot on a full disk: exit $status"
  grep -q "boot failed:.*No space left on device" "$WORK/err" || { cat "$WORK/err"; fail "boot on a full disk: no message"; }
  [ "$("$tool" --device "$full" active)" = "$before" ] || fail "boot on a full disk changed the running drivers"
  rm "$WORK/disk/filler"
  "$tool" --device "$full" boot >/dev/null || fail "boot with room again"
else
  echo "e2e bounded_files: the full-disk boot needs root to mount a tmpfs; skipped"
fi
echo "e2e bounded_files: ok"
