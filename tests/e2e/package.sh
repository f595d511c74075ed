#!/usr/bin/env bash
# The Debian package as a player gets it: scripts/package builds it (and fails on
# any lintian error); its file list must hold the installed layout and nothing
# outside /usr; its desktop entry and software-centre metadata must validate; and
# the game, unpacked with "dpkg -x" into a temporary root and started through its
# launcher, must find its program and resource library, show the start screen
# and keep "dorvel.cfg" in the player's configuration folder.
#
# usage: package.sh <source folder>
set -euo pipefail
source_dir="$(realpath "$1")"

if [[ -z "${DORVEL_E2E_X:-}" ]]; then
  for tool in dpkg-buildpackage dh lintian fakeroot desktop-file-validate appstreamcli \
    xvfb-run xdotool import identify; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  fail() { echo "FAIL: $*" >&2; exit 1; }

  "$source_dir/scripts/package" > "$work/package.log" 2>&1 \
    || { tail -n 40 "$work/package.log"; fail "scripts/package failed"; }
  grep -E '^[EWI]: ' "$work/package.log" || true # lintian's findings below errors
  deb="$(tail -n 1 "$work/package.log")"
  [[ -f "$deb" ]] || fail "scripts/package made no .deb"
  [[ "$(basename "$deb")" =~ ^halvenor-dorvel_[0-9.]+_[a-z0-9]+\.deb$ ]] || fail "name $deb"

  dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/files"
  for path in /usr/games/halvenor-dorvel /usr/lib/games/halvenor-dorvel/dorvel20 \
    /usr/share/games/halvenor-dorvel/redizo.dll /usr/share/applications/halvenor-dorvel.desktop \
    /usr/share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/halvenor-dorvel.png \
    /usr/share/man/man6/halvenor-dorvel.6.gz /usr/share/man/de/man6/halvenor-dorvel.6.gz \
    /usr/share/doc/halvenor-dorvel/copyright; do
    grep -qx "$path" "$work/files" || fail "$path is not in the package"
  done
  metainfo="$(grep -E '^/usr/share/metainfo/[^/]+\.metainfo\.xml$' "$work/files")" \
    || fail "no metainfo in the package"
  # A package that writes outside /usr would leave something behind on removal.
  outside="$(grep -v -e '^/$' -e '^/usr/' "$work/files" || true)"
  [[ -z "$outside" ]] || fail "files outside /usr: $outside"
  [[ -z "$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'postrm|prerm|preinst|conffiles')" ]] \
    || fail "the package has removal scripts or configuration files"
  # dh_shlibdeps worked out the libraries the program needs.
  dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries"
  dpkg-deb -f "$deb" Depends | grep -q 'qt6-translations-l10n' || fail "Depends lacks Qt's German texts"

  root="$work/root"
  dpkg -x "$deb" "$root"
  desktop-file-validate "$root/usr/share/applications/halvenor-dorvel.desktop"
  appstreamcli validate --no-net "$root$metainfo"
  grep -q '<launchable type="desktop-id">halvenor-dorvel.desktop</launchable>' "$root$metainfo" \
    || fail "the metainfo does not name the desktop entry"
  for size in 48 64 128 256; do
    actual="$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/${size}x${size}/apps/halvenor-dorvel.png")"
    [[ "$actual" == "${size}x${size}" ]] || fail "the ${size}x${size} icon is $actual"
  done
  echo "package: $(basename "$deb"), layout, lintian, desktop entry, metainfo and icons fine"

  DORVEL_E2E_X=1 ALSOFT_DRIVERS=null DORVEL_PACKAGE_ROOT="$root" \
    xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
  exit
fi

# --- Under the virtual X server: start the unpacked game through its launcher.
root="$DORVEL_PACKAGE_ROOT"
home="$(mktemp -d)"
trap 'if [[ -n "${pid:-}" ]]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$home"' EXIT
fail() { echo "FAIL: $*" >&2; import -window root "$home/fail.png" 2>/dev/null || true; exit 1; }
export HOME="$home"
unset XDG_CONFIG_HOME
cd /
# The desktop entry's command, found on a PATH that starts with the unpacked /usr/games.
command="$(sed -n 's/^Exec=//p' "$root/usr/share/applications/halvenor-dorvel.desktop")"
PATH="$root/usr/games:$PATH" sh -c "exec $command" > "$home/out.log" 2>&1 &
pid=$!
timeout 30 xdotool search --sync --name '^Halvenor Dorvel DAVED$' >/dev/null \
  || fail "no start screen: $(cat "$home/out.log")"
sleep 1
! xdotool search --name '^Fehler$' >/dev/null 2>&1 || fail "an error box: $(cat "$home/out.log")"
# The start screen's background comes from redizo.dll: a picture, not one flat colour.
colours="$(import -window root -crop 800x600+0+0 +repage -format '%k' info:)"
((colours > 1000)) || fail "the start screen shows only $colours colours"
xdotool key Escape
timeout 15 tail --pid="$pid" -f /dev/null || fail "the game did not end on Escape"
code=0
wait "$pid" || code=$?
pid=
((code == 0)) || fail "exit code $code"
cfg="$home/.config/halvenor-dorvel/dorvel.cfg"
[[ -f "$cfg" && $(stat -c %s "$cfg") -eq 324 ]] || fail "no 324-byte $cfg"
echo "unpacked package: start screen with $colours colours, dorvel.cfg in ~/.config/halvenor-dorvel"
