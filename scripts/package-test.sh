#!/usr/bin/env bash
# Builds the Debian packages from a build folder (scripts/package-test.sh
# BUILD_DIR): velmora and, when the build has the window, velmora-window.
# Checks them with lintian, installs velmora alone (no Qt comes with it and
# VelmoraCfg starts in the terminal although a display is named), adds
# velmora-window (the program loads its module), uses the installed
# programs, their manual pages and completions, and removes both again.
# Needs root, as apt-get does.
set -euo pipefail
# has GREP-ARGS: whether standard input, read to its end, matches. A plain
# `grep -q` stops at its first match, and under pipefail the writer it
# leaves behind dies of SIGPIPE and fails the pipe.
has() {
  local text
  text=$(cat)
  grep -q "$@" <<<"$text"
}
cd "$(dirname "$0")/.."
build=${1:-build}
say() { echo "package: $*"; }
die() { say "$*" >&2; exit 1; }

# The manual pages first: groff's warnings are errors here.
for page in "$build"/man/*.[17]; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || die "$page: $warnings"
  lexgrog "$page" >/dev/null || die "$page has no usable NAME section"
done
rm -f "$build"/velmora*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/velmora_*.deb)
window_deb=$(ls "$build"/velmora-window_*.deb 2>/dev/null || true)
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}

# lintian: no errors; its warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb" $window_deb || die "lintian found errors"

# velmora pulls in no Qt, not even through its dependencies' dependencies.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q "libc6" <<<"$depends" || die "no library dependencies"
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*//; s/ //g' | grep -v '^$')
# shellcheck disable=SC2086
if apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
     --no-replaces --no-enhances $names 2>/dev/null | grep -iE '^(  \S+: )?lib(qt|Qt)'; then
  die "velmora depends on Qt"
fi
dpkg-deb -c "$deb" | has "velmora-window.so" && die "velmora holds the window module"
dpkg-deb -c "$deb" | has "lib/systemd/system/velmora-device@.service" || die "velmora ships no velmora-device@.service"
recommends=$(dpkg-deb -f "$deb" Recommends)
grep -q "bash-completion" <<<"$recommends" || die "velmora does not recommend bash-completion"

export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
session="velmora-package-$$"
cleanup() {
  tmux -L "$session" kill-server 2>/dev/null || true
  rm -rf "$work"
  apt-get remove --purge -y -qq velmora-window velmora >/dev/null 2>&1 || true
}
trap cleanup EXIT
apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null

[ "$(/usr/bin/velmora-device --version)" = "velmora-device $upstream" ] || die "velmora-device --version"
[ "$(/usr/bin/VelmoraCfg --version)" = "VelmoraCfg $upstream" ] || die "VelmoraCfg --version"
/usr/bin/velmora-device init "$work/device" | has "created the sample device"
/usr/bin/velmora-device --device "$work/device" active | has "COM4:"
for page in VelmoraCfg velmora-device velmora; do
  man -w "$page" >/dev/null || die "man $page finds nothing"
done
man -P cat velmora 2>/dev/null | has "velmora-device" || die "man velmora does not lead to the programs"
# The package's own documents (checked in the packages: a machine may be
# set up to leave /usr/share/doc out when it installs).
for package in "$deb" $window_deb; do
  name=$(dpkg-deb -f "$package" Package)
  # Read whole before grep -q looks: under pipefail, a grep that stops at
  # its first match would fail the writer with SIGPIPE.
  contents=$(dpkg-deb -c "$package")
  for file in copyright changelog.Debian.gz; do
    grep -q " ./usr/share/doc/$name/$file$" <<<"$contents" || die "$name has no $file"
  done
  copyright=$(dpkg-deb --fsys-tarfile "$package" | tar -xO "./usr/share/doc/$name/copyright")
  grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    <<<"$copyright" || die "the copyright file of $name is not machine-readable"
done

# Completion: VelmoraCfg's options, activate's driver keys, deactivate's handles.
complete_line() {
  bash -c 'source /usr/share/bash-completion/bash_completion
    source "/usr/share/bash-completion/completions/$1"
    shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    "$(complete -p "$1" | sed "s/.*-F \([^ ]*\) .*/\1/")" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_line VelmoraCfg VelmoraCfg --sc | has -x -- "--scale" || die "no completion of VelmoraCfg's options"
  complete_line VelmoraCfg VelmoraCfg --de | has -x -- "--device" || die "no completion of --device"
  complete_line velmora-device velmora-device --device "$work/device" activate 'Drivers\\BuiltIn\\G' |
    has -x 'Drivers\\\\BuiltIn\\\\GPS' || die "no completion of activate's keys"
  complete_line velmora-device velmora-device -d "$work/device" deactivate "" | has -x "1002" ||
    die "no completion of deactivate's handles"
fi

# velmora alone: a display is named, but without the module the program
# starts in the terminal; --window says what is missing.
if DISPLAY=:97 /usr/bin/VelmoraCfg --device "$work/device" --window 2>"$work/window.err"; then
  die "--window started without its module"
fi
grep -q "velmora-window.so is missing" "$work/window.err" || { cat "$work/window.err"; die "--window"; }
tmux -L "$session" new-session -d -x 80 -y 24 \
  "DISPLAY=:97 /usr/bin/VelmoraCfg --device '$work/device' 2>'$work/term.err'; echo \"exit=\$?\" >'$work/term.out'; sleep 60"
for _ in $(seq 50); do
  tmux -L "$session" capture-pane -p | has "Velmora 2.1.0.4 Configuration" && break
  sleep 0.2
done
tmux -L "$session" capture-pane -p | has "Velmora 2.1.0.4 Configuration" ||
  { tmux -L "$session" capture-pane -p; cat "$work/term.err" 2>/dev/null; die "the terminal did not start"; }
tmux -L "$session" send-keys Escape
for _ in $(seq 50); do [ -s "$work/term.out" ] && break; sleep 0.2; done
grep -qx "exit=0" "$work/term.out" || die "the terminal did not end cleanly"

# velmora-window added: the installed program finds its module (and then
# no display).
if [ -n "$window_deb" ]; then
  apt-get install -y -qq "./$window_deb" >/dev/null
  if DISPLAY=:97 /usr/bin/VelmoraCfg --device "$work/device" --window 2>"$work/window.err"; then
    die "a window opened without a display"
  fi
  grep -q "cannot open a window" "$work/window.err" || { cat "$work/window.err"; die "the module did not load"; }
  apt-get remove --purge -y -qq velmora-window >/dev/null
  [ ! -e /usr/lib/velmora/velmora-window.so ] || die "removing velmora-window left its module"
fi

apt-get remove --purge -y -qq velmora >/dev/null
[ ! -e /usr/bin/velmora-device ] && [ ! -e /usr/bin/VelmoraCfg ] || die "remove left files"
! dpkg-query -W -f='${Status}\n' velmora velmora-window 2>/dev/null | has -v "not-installed" ||
  die "removing left package state"
say "$(basename "$deb") ${window_deb:+and $(basename "$window_deb") }pass lintian, install, run and remove cleanly"
