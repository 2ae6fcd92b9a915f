#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from this build, checked, installed with
# apt, run headless as an ordinary account for one tick, removed and purged; afterwards nothing
# of it may be left but that account's own data.
#   check-package.sh BUILD_DIR   (exit 0 passed, 1 failed, 77 skipped: not root, no apt, or a
#                                 hollin package is installed already and must not be touched)
set -uo pipefail
build=$(realpath "$1")

if ((EUID != 0)) || ! command -v apt-get >/dev/null; then
  echo "skipped: installing a package needs root and apt"
  exit 77
fi
if [[ "$(dpkg-query -W -f='${Status}' hollin 2>/dev/null)" == *installed* ]]; then
  echo "skipped: a hollin package is installed on this machine already"
  exit 77
fi

work=$(mktemp -d /tmp/hollin-package-XXXXXX)
chmod 755 "$work"  # the test account's home is in here
account="hollinpkg$$"
home="$work/home"
failures=0
pid=

cleanup() {
  [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
  [[ "$(dpkg-query -W -f='${Status}' hollin 2>/dev/null)" == *installed* ]] &&
    apt-get remove --purge -y -qq hollin >/dev/null 2>&1
  id "$account" >/dev/null 2>&1 && userdel "$account" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# check WHAT COMMAND...: runs the command quietly and says how it went.
check() {
  local what=$1
  shift
  if "$@" >"$work/last.log" 2>&1; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    sed 's/^/     /' "$work/last.log" | tail -n 20
    failures=$((failures + 1))
  fi
}

# within SECONDS COMMAND...: the command succeeds before the deadline.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# The package and what it holds.
check "cpack builds the package" cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake"
deb=$(ls "$work"/deb/hollin_*.deb 2>/dev/null | head -n 1)
[[ -n "$deb" ]] || { echo "FAIL no package was built"; exit 1; }
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\.||' >"$work/contents"
for path in /usr/bin/hollin /usr/bin/hollin-widgets /usr/libexec/hollin/hollin-smart-read \
    /usr/share/applications/hollin.desktop /usr/share/applications/hollin-widgets.desktop \
    /usr/share/icons/hicolor/scalable/apps/hollin.svg /usr/share/icons/hicolor/48x48/apps/hollin.png \
    /usr/share/metainfo/org.hollin.Hollin.metainfo.xml /usr/share/man/man1/hollin.1.gz \
    /usr/lib/systemd/user/hollin.service /usr/share/hollin/ja.lproj/Help.md \
    /usr/share/hollin/en.lproj/Localizable.strings /usr/share/doc/hollin/metrics.md; do
  check "the package holds $path" grep -qx "$path" "$work/contents"
done
check "its dependencies come from what the binaries link" \
  bash -c "dpkg-deb -f '$deb' Depends | grep -q 'libqt6core6 (>= '"
version=$(dpkg-deb -f "$deb" Version)

# Installed with apt, as a user would.
check "apt installs it" apt-get install -y "$deb"
cp "$work/last.log" "$work/apt.log"
check "hollin --version names $version" bash -c "/usr/bin/hollin --version | grep -qF '$version'"
check "the SSD helper has its capabilities, or the installation said why not" bash -c \
  "getcap /usr/libexec/hollin/hollin-smart-read | grep -q 'cap_dac_read_search,cap_sys_admin=ep' ||
   grep -q 'could not give' '$work/apt.log'"
check "the helper is not setuid" test ! -u /usr/libexec/hollin/hollin-smart-read
# A file system that cannot hold capabilities: setcap fails, the installation says so and goes on.
mkdir "$work/nocaps" && printf '#!/bin/sh\necho "Operation not supported" >&2\nexit 1\n' >"$work/nocaps/setcap"
chmod 755 "$work/nocaps/setcap"
check "without capabilities the installation step explains and succeeds" bash -c \
  "set -o pipefail; PATH='$work/nocaps':\$PATH /var/lib/dpkg/info/hollin.postinst configure 2>&1 | grep -q 'could not give'"
check "the desktop entries are valid" \
  desktop-file-validate /usr/share/applications/hollin.desktop /usr/share/applications/hollin-widgets.desktop
check "the AppStream entry is valid" appstreamcli validate --no-net /usr/share/metainfo/org.hollin.Hollin.metainfo.xml
check "the man page renders without a warning" bash -c \
  "zcat /usr/share/man/man1/hollin.1.gz | groff -man -ww -z 2>&1 | tee /dev/stderr | (! grep -q .)"
mkdir -m 700 "$work/runtime"
check "the user unit is valid" env XDG_RUNTIME_DIR="$work/runtime" \
  systemd-analyze --user --man=no verify /usr/lib/systemd/user/hollin.service

# One tick as an ordinary account, headless, as the user unit starts it.
useradd --home-dir "$home" --create-home --shell /bin/sh "$account"
mkdir -m 700 "$home/runtime" && chown "$account:" "$home/runtime"
record="$home/.local/share/Hollin/health.json"
setpriv --reuid="$account" --regid="$account" --init-groups \
  env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$home/runtime" \
  /usr/bin/hollin >"$work/hollin.log" 2>&1 &
pid=$!
check "hollin runs headless as $account until its first record" within 30 test -s "$record"
kill -TERM "$pid" 2>/dev/null
wait "$pid"
status=$?
pid=
check "hollin ends cleanly on SIGTERM (status $status)" test "$status" -eq 0
check "it ran headless" grep -q "level " "$work/hollin.log"

# Removed and purged: only the account's own data stays.
check "apt removes and purges it" apt-get remove --purge -y hollin
check "dpkg no longer knows it" bash -c "! dpkg-query -W -f='\${Status}' hollin 2>/dev/null | grep -q installed"
check "nothing of it is left in /usr, /etc or /var/lib" bash -c \
  "! find /usr /etc /var/lib -path /var/lib/dpkg -prune -o -path /var/lib/apt -prune -o -iname '*hollin*' -print | grep ."
check "the account's own data is still there" test -s "$record"

((failures == 0)) || { echo "$failures check(s) failed"; sed 's/^/hollin: /' "$work/hollin.log" | tail -n 20; exit 1; }
