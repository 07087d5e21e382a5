#!/usr/bin/env bash
# `reg import` of hostile files: each is refused at once with the file (and
# line) named, in bounded time and memory, and the registry stays as it was.
source "$(dirname "$0")/lib/tmux.sh" "$1"
tool="$BUILD/velmora-device"
dir="$WORK/hostile-device"
"$tool" init "$dir" >/dev/null
"$tool" --device "$dir" reg export > "$WORK/before.reg"

header='Windows Registry Editor Version 5.00'
mkfifo "$WORK/fifo"
truncate -s 100M "$WORK/huge.reg"
{ printf '%s\n[HKEY_LOCAL_MACHINE' "$header"; head -c 100000 /dev/zero | tr '\0' 'a' | sed 's/a/\\a/g'
  printf ']\n'; } > "$WORK/deep.reg"
{ printf '%s\n[HKEY_LOCAL_MACHINE\\%s]\n' "$header" "$(head -c 300 /dev/zero | tr '\0' 'n')"; } > "$WORK/long.reg"
{ printf '%s\n[HKEY_LOCAL_MACHINE\\K]\n"a\001b"=dword:1\n' "$header"; } > "$WORK/control.reg"
{ printf '%s\n[HKEY_LOCAL_MACHINE\\K]\n"a' "$header"; printf '\0'; printf 'b"=dword:1\n'; } > "$WORK/nul.reg"
{ printf '%s\n[HKEY_LOCAL_MACHINE\\K]\n"Big"=hex:00' "$header"; head -c 5000 /dev/zero | tr '\0' 'x' | sed 's/x/,00/g'
  printf '\n'; } > "$WORK/bigvalue.reg"
{ printf '\xff\xfe'; printf '%s\r\n[HKEY_LOCAL_MACHINE\\A' "$header" | iconv -f UTF-8 -t UTF-16LE
  printf '\x00\xd8'; printf ']\r\n' | iconv -f UTF-8 -t UTF-16LE; } > "$WORK/surrogate.reg"

# Memory is bounded too, where the build allows it (the sanitizers reserve
# address space of their own).
limit="ulimit -v 1000000;"
ldd "$tool" | grep -q asan && limit=""

refuse() {
  local file=$1 expected=$2
  if timeout 20 bash -c "$limit exec \"\$0\" --device \"\$1\" reg import \"\$2\"" \
       "$tool" "$dir" "$file" 2>"$WORK/import.err"; then
    fail "$file was imported"
  fi
  grep -qF "$expected" "$WORK/import.err" || { cat "$WORK/import.err"; fail "$file: expected '$expected'"; }
}
refuse "$WORK/fifo" "fifo' is not a regular file"
refuse /dev/zero "'/dev/zero' is not a regular file"
refuse "$WORK/huge.reg" "huge.reg' is larger than 64 MiB"
refuse "$WORK/deep.reg" "deep.reg: line 2: keys nest deeper than 16 levels"
refuse "$WORK/long.reg" "long.reg: line 2: a name longer than 255 characters"
refuse "$WORK/control.reg" "control.reg: line 3: a control character in a name"
refuse "$WORK/nul.reg" "nul.reg: line 3: a control character in a name"
refuse "$WORK/bigvalue.reg" "bigvalue.reg: line 3: a value larger than 4096 bytes"
refuse "$WORK/surrogate.reg" "surrogate.reg: line 2: an unpaired UTF-16 surrogate cannot be stored"

"$tool" --device "$dir" reg export > "$WORK/after.reg"
cmp -s "$WORK/before.reg" "$WORK/after.reg" || fail "a refused import changed the registry"
echo "e2e hostile_import: ok"
