#!/usr/bin/env bash
# A device made from a board's own .reg files in the CE build's dialect
# (platform.reg including the driver files, IFs chosen with -D, texts from a
# strings table, an include of the CE tree that is not there): VelmoraCfg
# shows the board's two UARTs, and the splitter takes one of them over.
# A broken file is refused with its file and line, and nothing is made.
source "$(dirname "$0")/lib/tmux.sh" "$1"
bsp="$WORK/TERN"
mkdir -p "$bsp/FILES" "$bsp/SRC/DRIVERS/SERIAL"

# Windows line ends, a Windows-1252 byte (0xB0, the degree sign) in a
# comment and a Ctrl-Z at the end, as the files come from the board's tree.
printf '%s\r\n' \
  '; Tern handheld: board registry (-20 to 60 \xb0C)' \
  '#define BUILTIN_ROOT HKEY_LOCAL_MACHINE\Drivers\BuiltIn' \
  '' \
  '#include "$(_PUBLICROOT)\common\oak\files\common.reg"' \
  '' \
  '; @CESYSGEN IF CE_MODULES_SERIAL' \
  'IF BSP_NOSERIAL !' \
  '#include "$(_TARGETPLATROOT)\src\drivers\serial\serial.reg"' \
  'ENDIF BSP_NOSERIAL' \
  '; @CESYSGEN ENDIF CE_MODULES_SERIAL' \
  '' \
  '[$(BUILTIN_ROOT)\Keypad]' \
  '   "Dll"="tern_kbd.dll"' \
  '   "Prefix"="KBD"' \
  '   "Index"=dword:1' \
  '   "Order"=dword:1' \
  '[HKEY_CURRENT_USER\ControlPanel\Keybd]' \
  '   "RepeatRate"=dword:1e' > "$bsp/FILES/platform.reg"
printf '\x1a' >> "$bsp/FILES/platform.reg"

cat > "$bsp/SRC/DRIVERS/SERIAL/serial.reg" <<'REG'
; The board's UARTs: COM1 on the dock connector, COM3 on the expansion
; header, COM6 for the modem (boards without one define BSP_NOMODEM).
IF BSP_SERIAL1
[$(BUILTIN_ROOT)\Serial1]
   "DeviceArrayIndex"=dword:0
   "Prefix" = "COM"
   "Dll"="tern_serial.dll"
   "Index"=dword:1
   "Order"=dword:2
   "FriendlyName"=LOC_DISPLAYNAME_COM1
   "IClass"=multi_sz:"{CC5195AC-BA49-48a0-BE17-DF6D1B0173DD}",
                     "{A32942B7-920C-486b-B0E6-92A702A99B35}"
   "MemBase"=hex: 00,10, 00,40
ENDIF BSP_SERIAL1
IF BSP_UART3 == 1
[$(BUILTIN_ROOT)\Serial3]
   "DeviceArrayIndex"=dword:2
   "Prefix"="COM"
   "Dll"="\\Windows\\tern_serial.dll"
   "Index"=dword:3
   "Order"=dword:$(UART3_ORDER)
   "FriendlyName"=LOC_DISPLAYNAME_COM3
ELSE
[$(BUILTIN_ROOT)\Serial3]
   "Dll"="tern_ir.dll"
   "Prefix"="COM"
   "Index"=dword:3
ENDIF
IF BSP_NOMODEM !
[$(BUILTIN_ROOT)\Modem]
   "Dll"="tern_modem.dll"
   "Prefix"="COM"
   "Index"=dword:6
ENDIF
REG

cat > "$bsp/FILES/tern.str" <<'STR'
; texts of the board's registry
#define LOC_DISPLAYNAME_COM1 "Dock UART on COM1:"
#define LOC_DISPLAYNAME_COM3 "Header UART on COM3:"
STR

board_options=(-D _TARGETPLATROOT="$bsp" -D BSP_SERIAL1 -D BSP_UART3=1 -D BSP_NOMODEM
               --strings "$bsp/FILES/tern.str" --skip-missing-includes)
UART3_ORDER=3 device init "$VELMORA_DEVICE" --from "$bsp/FILES/platform.reg" "${board_options[@]}" \
  > "$WORK/init.txt" 2> "$WORK/init.err" || { cat "$WORK/init.err"; fail "init --from failed"; }
made=$(cat "$WORK/init.txt")
expect_contains "$made" 'tern_serial.dll'
expect_contains "$made" "running: KBD1: COM1: COM3:"
warned=$(cat "$WORK/init.err")
expect_contains "$warned" 'platform.reg: line 4: left out the included file "$(_PUBLICROOT)'
expect_contains "$warned" "below HKEY_CURRENT_USER"
registry=$(device reg export)
grep -q 'BuiltIn\\Modem\]' <<<"$registry" && fail "the modem behind IF BSP_NOMODEM ! is there"
grep -q 'BuiltIn\\GPS\]' <<<"$registry" && fail "a driver of the sample device is there"

start inventory "$BUILD/VelmoraCfg"
wait_for "Installiert auf"
for line in "COM0      Frei" "COM1      Belegt          Dock UART on COM1:" \
            "COM3      Belegt          Header UART on COM3:" "COM4      Frei" "COM6      Frei"; do
  wait_for "$line"
done
# choose LABEL ITEM: Down in the focused drop-down list LABEL until it shows ITEM.
choose() {
  local tries
  for tries in 1 2 3 4 5 6 7 8 9 10 11; do
    row_shows "$1" "»$2" && return 0
    keys Down
    sleep 0.2
  done
  wait_row "$1" "»$2" 2
}
keys Tab Tab                    # list, Abbrechen, "Installiert auf"
choose "Installiert auf" COM3
keys Tab
choose "Verbinde mit" COM1
click_on "[ Übernehmen ]"
wait_for "Wollen Sie die Installation fortsetzen?"
keys Enter                      # Ja
wait_for "auf COM3"
keys Enter                      # OK
wait_for "Treiber erfolgreich"
wait_for "[ Beenden ]"
keys Escape
wait_exit inventory >/dev/null

booted=$(device boot)
grep -q "^COM3: .*Drivers\\\\BuiltIn\\\\Velmora" <<<"$booted" || { echo "$booted"; fail "the splitter does not hold COM3"; }
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Serial1" <<<"$booted" || { echo "$booted"; fail "COM1 is gone"; }
grep -q "Drivers\\\\BuiltIn\\\\Serial3" <<<"$booted" && fail "the board's COM3 driver still runs"

# The same files once more through reg import --bsp: the board's driver
# keys come back as the files say (the takeover's Order 2 is overwritten).
device reg import --bsp "$bsp/FILES/platform.reg" "${board_options[@]}" -D UART3_ORDER=7 2>/dev/null
expect_contains "$(device reg export)" '"Order"=dword:00000007'

# A broken file: its file and line, and no device.
printf '[Drivers\\X]\nIF BSP_SERIAL1\n"A"=dword:1\n' > "$bsp/FILES/broken.reg"
if device init "$WORK/broken" --from "$bsp/FILES/broken.reg" 2>"$WORK/broken.err"; then
  fail "a file without ENDIF made a device"
fi
expect_contains "$(cat "$WORK/broken.err")" "broken.reg: line 2: IF BSP_SERIAL1 without ENDIF"
[ ! -e "$WORK/broken" ] || fail "a refused init left a folder"
# What the registry refuses is named by the line of the board's file too.
before=$(device reg export)
printf '; too deep\n[A]\n"V"=dword:1\n[A\\B\\C\\D\\E\\F\\G\\H\\I\\J\\K\\L\\M\\N\\O\\P\\Q]\n' > "$bsp/FILES/deep.reg"
if device reg import --bsp "$bsp/FILES/deep.reg" 2>"$WORK/deep.err"; then fail "a key 17 deep was imported"; fi
expect_contains "$(cat "$WORK/deep.err")" "deep.reg: line 4: keys nest deeper than 16 levels"
[ "$(device reg export)" = "$before" ] || fail "a refused import changed the registry"
echo "e2e board_registry: ok"
