#!/usr/bin/env bash
# velmora-device from the shell: the sample device, its ports, the driver's
# version, .reg export, import and restore, and clear errors that change
# nothing.
source "$(dirname "$0")/lib/tmux.sh" "$1"
tool="$BUILD/velmora-device"
dir="$WORK/tool-device"

"$tool" init "$dir" | grep -q "created the sample device" || fail "init said nothing"
if "$tool" init "$dir" 2>"$WORK/err"; then fail "init overwrote a device"; fi
grep -q "holds a device already" "$WORK/err" || fail "init gave no reason"

active=$("$tool" --device "$dir" active)
for line in "COM1:   1002     Drivers\\BuiltIn\\Serial           Serial Cable on COM1:" \
            "COM7:   1005     Drivers\\BuiltIn\\BTSerial         Bluetooth Serial Port on COM7:"; do
  expect_contains "$active" "$line"
done
[ "$("$tool" --device "$dir" version '\windows\velmora.dll')" = "2.1.0.4" ] || fail "wrong version"
[ "$("$tool" --device "$dir" version '\My Documents\Notes.txt')" = "" ] || fail "a text file has a version"
if "$tool" --device "$dir" version '\windows\none.dll' >"$WORK/out" 2>"$WORK/err"; then
  fail "a missing file has a version"
fi
grep -q "no such file" "$WORK/err" || { cat "$WORK/err"; fail "a missing file was not told"; }
[ ! -s "$WORK/out" ] || fail "a missing file printed a version line"

"$tool" --device "$dir" reg export "$WORK/a.reg"
"$tool" --device "$dir" reg import "$WORK/a.reg"
"$tool" --device "$dir" reg export > "$WORK/b.reg"
cmp -s "$WORK/a.reg" "$WORK/b.reg" || fail "export, import, export changed the registry"

printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers]\n"X"=dword:zz\n' > "$WORK/bad.reg"
if "$tool" --device "$dir" reg import "$WORK/bad.reg" 2>"$WORK/err"; then fail "a bad file was imported"; fi
grep -q "bad.reg: line 4: a dword needs 1 to 8 hex digits" "$WORK/err" || { cat "$WORK/err"; fail "no line in the error"; }
if "$tool" --device "$dir" stage-update "$WORK/missing.dll" 2>/dev/null; then fail "staged a missing file"; fi
if "$tool" --device "$dir" frobnicate 2>/dev/null; then fail "an unknown command passed"; fi
if "$tool" --device "$dir" boot extra 2>/dev/null; then fail "boot took an argument"; fi
"$tool" --device "$dir" reg export > "$WORK/c.reg"
cmp -s "$WORK/a.reg" "$WORK/c.reg" || fail "a refused command changed the registry"

# Backup and restore: an import leaves the running devices alone, a restore
# gives back the saved registry and boots; one device per name either way.
"$tool" --device "$dir" deactivate 1004
"$tool" --device "$dir" activate 'Drivers\BuiltIn\GPS' >/dev/null
"$tool" --device "$dir" reg import "$WORK/a.reg" 2>"$WORK/err"
grep -q 'skipped "Drivers\\Active"' "$WORK/err" || { cat "$WORK/err"; fail "the import did not say it skipped"; }
[ "$("$tool" --device "$dir" active | grep -c '^COM4:')" = 1 ] || fail "COM4: runs twice after an import"
"$tool" --device "$dir" reg restore "$WORK/a.reg"
[ "$("$tool" --device "$dir" active | grep -c '^COM4:')" = 1 ] || fail "COM4: runs twice after a restore"
config() { awk '/^\[/ { skip = index($0, "[HKEY_LOCAL_MACHINE\\Drivers\\Active\\") == 1 } !skip'; }
"$tool" --device "$dir" reg export | config > "$WORK/d.reg"
config < "$WORK/a.reg" > "$WORK/a-config.reg"
cmp -s "$WORK/a-config.reg" "$WORK/d.reg" || fail "the restore did not give back the saved registry"
"$tool" --device "$dir" reg check | grep -q "whole" || fail "reg check on a whole registry"

printf 'new driver' > "$WORK/new.dll"
if "$tool" --device "$dir" stage-update "$WORK/new.dll" 2>"$WORK/err"; then fail "staged a text file"; fi
grep -q "not a PE image" "$WORK/err" || { cat "$WORK/err"; fail "no reason for refusing a text file"; }
[ ! -e "$dir/root/windows/Velmora_tmp.dll" ] || fail "a refused update was staged"
"$tool" --device "$dir" stage-update --force "$WORK/new.dll"
[ "$(cat "$dir/root/windows/Velmora_tmp.dll")" = "new driver" ] || fail "the forced update was not staged"
cp "$dir/root/windows/Velmora.dll" "$WORK/driver.dll"
"$tool" --device "$dir" stage-update "$WORK/driver.dll"
cmp -s "$dir/root/windows/Velmora_tmp.dll" "$WORK/driver.dll" || fail "the driver image was not staged"
version=$(sed -n 's/^project(VelmoraCfg VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
[ "$("$tool" --version)" = "velmora-device $version" ] || fail "velmora-device --version"
[ "$("$BUILD/VelmoraCfg" --version)" = "VelmoraCfg $version" ] || fail "VelmoraCfg --version"
"$tool" --help | grep -q "velmora-device --help | --version" || fail "velmora-device --help"
echo "e2e device_tool: ok"
