#!/usr/bin/env bash
# Installing the splitter on a port held by a built-in driver, connected to
# the GPS port; the takeover survives a boot; a second run choosing
# "keinem" gives the port back.
source "$(dirname "$0")/lib/tmux.sh" "$1"

start install "$BUILD/VelmoraCfg"
wait_for "Installiert auf"
# Focus: list, Abbrechen, then "Installiert auf" (Übernehmen is disabled).
keys Tab Tab Down Down          # keinem -> COM0 -> COM1
wait_row "Installiert auf" "COM1"
keys Tab Down Down              # Verbinde mit: COM2 -> COM4
wait_row "Verbinde mit" "COM4"
click_on "[ Übernehmen ]"
wait_for "Wollen Sie die Installation fortsetzen?"
keys Enter                      # Ja
wait_for "auf COM1"
wait_for "VelmoraCfg"
keys Enter                      # OK
wait_for "Treiber erfolgreich"
wait_for "[ Beenden ]"
keys Escape
wait_exit install >/dev/null

active=$(device active)
expect_contains "$active" "COM1:   "
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Velmora" <<<"$active" || { echo "$active"; fail "the splitter is not on COM1"; }
booted=$(device boot)
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Velmora" <<<"$booted" || { echo "$booted"; fail "the boot gave COM1 back"; }
grep -q "Drivers\\\\BuiltIn\\\\Serial" <<<"$booted" && fail "the demoted driver still runs after the boot"
expect_contains "$(device reg export)" '"Order"=dword:00000002'

start remove "$BUILD/VelmoraCfg"
wait_row "Installiert auf" "COM1"
keys Tab Tab Up                 # COM1 -> COM0
keys Up                         # -> keinem
wait_row "Installiert auf" "keinem"
click_on "[ Übernehmen ]"
wait_for "Wollen Sie die Installation fortsetzen?"
keys Enter
wait_for "Driver not installed"
keys Escape
wait_exit remove >/dev/null

active=$(device active)
grep -q "^COM1: .*Drivers\\\\BuiltIn\\\\Serial" <<<"$active" || { echo "$active"; fail "Serial did not get COM1 back"; }
registry=$(device reg export)
grep -A6 'BuiltIn\\Serial\]' <<<"$registry" | grep -q '"Order"=dword:00000000' || fail "Serial's Order is not 0 again"
grep -q 'BuiltIn\\Velmora\]' <<<"$registry" && fail "the driver's key is still there"
echo "e2e install_takeover: ok"
