#!/usr/bin/env bash
# The Debian package end to end: scripts/make-deb builds it (lintian finding no
# error), apt-get installs it, the programs run from /usr/bin with the installed
# packs, XScreenSaver's description parses, the menu entries validate, and
# apt-get purge leaves none of its files behind.
#   packaging_deb_test.sh SOURCE_DIR BUILD_DIR
# The package is built in BUILD_DIR/deb (where `make deb` builds it too, so a
# package built before is only brought up to date). Exit 77 is a skip, with the
# reason printed. The package is never left installed.
set -uo pipefail

source_dir=$1
tree=$2/deb
checks=0
failures=0

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
check() { # check WHAT COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" || fail "$what"
}

# apt-get waits for a package manager that another program is running.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"; }
# dpkg's word for larkspur's state; empty when it has never heard of it.
package_status() { dpkg-query -W -f='${db:Status-Status}' larkspur 2>/dev/null; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
# Two runs at once (other build trees on the same machine) would remove each
# other's package.
exec 9>/run/lock/larkspur-package-test.lock
flock -n 9 || skip "another run of this test is installing the package"
status=$(package_status)
[ -z "$status" ] || [ "$status" = not-installed ] ||
  skip "a larkspur package is already on this machine ($status); it is left alone"
for path in /usr/bin/larkspur /usr/share/larkspur; do
  [ ! -e "$path" ] || skip "$path exists outside any package (make install PREFIX=/usr?); purging would remove it"
done

scratch=$(mktemp -d)
installed=0
cleanup() {
  if [ $installed -eq 1 ]; then
    apt_get purge larkspur >/dev/null 2>&1 ||
      dpkg --purge larkspur >/dev/null 2>&1
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# One compiler at a time: ctest runs other tests beside this one.
if ! JOBS=1 "$source_dir/scripts/make-deb" "$tree" >"$scratch/make-deb.log" 2>&1; then
  cat "$scratch/make-deb.log"
  echo "FAILED: make-deb (log above)"
  exit 1
fi
deb=$(tail -n 1 "$scratch/make-deb.log")
sed -n '/^lintian:/,$p' "$scratch/make-deb.log" | sed '$d'
echo "package: $deb ($(stat -c %s "$deb") bytes)"

# What the package holds, as paths on the system; those already there before
# (shared folders such as /usr/share/man) must survive the purge.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' >"$scratch/paths"
while read -r path; do
  [ -e "$path" ] && echo "$path"
done <"$scratch/paths" >"$scratch/there-before"
while read -r path; do
  [ -d "$path" ] || skip "$path exists outside any package; purging would remove it"
done <"$scratch/there-before"

for path in /usr/bin/larkspur /usr/bin/larkspur-config /usr/bin/larkspur-pack \
  /usr/share/larkspur/pellmore.works /usr/share/larkspur/b.oak /usr/share/larkspur/meadow.jpg \
  /usr/share/larkspur/Larkspur.ui \
  /usr/share/man/man6/larkspur.6.gz /usr/share/man/man1/larkspur-config.1.gz \
  /usr/share/man/man1/larkspur-pack.1.gz /usr/share/xscreensaver/config/larkspur.xml \
  /usr/share/applications/screensavers/larkspur.desktop /usr/share/applications/larkspur-config.desktop \
  /usr/share/applications/larkspur.desktop /usr/share/doc/larkspur/copyright /usr/share/doc/larkspur/changelog.Debian.gz \
  /usr/share/doc/larkspur/README.md /usr/lib/systemd/user/larkspur-idle.service \
  /usr/share/larkspur/larkspur-idle.desktop; do
  check "the package holds $path" grep -qxF "$path" "$scratch/paths"
done
check "everything is under /usr, nothing under /usr/local" \
  test -z "$(grep -v '^/usr\(/\|$\)' "$scratch/paths"; grep '^/usr/local' "$scratch/paths")"
depends=$(dpkg-deb -f "$deb" Depends)
for package in librsvg2-common webp-pixbuf-loader libgtk-3-0 libegl1; do
  check "Depends names $package: $depends" grep -qE "(^|, )$package( |,|$)" <<<"$depends"
done
check "Depends names no build-only package: $depends" test -z "$(grep -oE '[a-z0-9.+-]+-dev\b' <<<"$depends")"
check "section and priority are set" test -n "$(dpkg-deb -f "$deb" Section)" -a -n "$(dpkg-deb -f "$deb" Priority)"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
check "the maintainer is the project, with no made-up address: $maintainer" test "$maintainer" = "The Larkspur project"
# The copyright file, machine-readable, grants the MIT licence (Debian's
# Expat) with the LICENSE file's own words, and reserves nothing.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/larkspur/copyright >"$scratch/copyright"
check "the copyright file is in the machine-readable format" \
  grep -qxF 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$scratch/copyright"
check "the copyright file licenses every file under the MIT licence" \
  test "$(grep -A2 -xF 'Files: *' "$scratch/copyright" | tail -n 2 | sed 's/^Copyright: .*/C/')" = $'C\nLicense: Expat'
check "the copyright file reserves no rights" test -z "$(grep -i 'rights reserved' "$scratch/copyright")"
# The licence's own paragraph: "License: Expat" alone after a blank line.
awk 'on { print } prev == "" && $0 == "License: Expat" { on = 1 } { prev = $0 }' "$scratch/copyright" |
  sed 's/^ //; s/^\.$//' >"$scratch/licence"
check "the copyright file's licence is the LICENSE file's" \
  diff -q <(sed -n '/^Permission/,$p' "$source_dir/LICENSE") "$scratch/licence"

if ! apt_get install "$deb" >"$scratch/apt.log" 2>&1; then
  cat "$scratch/apt.log"
  echo "FAILED: apt-get install $deb (log above)"
  exit 1
fi
installed=1
echo "installed: $(dpkg-query -W -f='${Package} ${Version} ${Status}' larkspur)"

home=$scratch/home
mkdir -p "$home"
# As a user would run them: from the PATH, with a home of their own, no
# display, and nothing pointing at the build tree.
as_user() { env -i PATH=/usr/bin:/bin HOME="$home" "$@"; }
check "larkspur is found as /usr/bin/larkspur" test "$(as_user sh -c 'command -v larkspur')" = /usr/bin/larkspur
# The programs report the package's version, without its Debian release.
upstream=$(dpkg-deb -f "$deb" Version)
upstream=${upstream%-*}
for program in larkspur larkspur-config larkspur-pack; do
  check "$program --version prints '$program $upstream': $(as_user "$program" --version 2>&1)" \
    test "$(as_user "$program" --version)" = "$program $upstream"
done
as_user larkspur --headless --seconds 2 >"$scratch/run.out" 2>"$scratch/run.err"
rc=$?
check "larkspur --headless --seconds 2 exits 0 (got $rc)" test $rc -eq 0
# Without its packs larkspur still exits 0, but says so on stderr.
check "larkspur --headless runs silently with the installed packs: $(cat "$scratch/run.err")" test ! -s "$scratch/run.err"
as_user larkspur-config --list >"$scratch/list.out" 2>&1
rc=$?
check "larkspur-config --list exits 0 (got $rc): $(cat "$scratch/list.out")" test $rc -eq 0
check "larkspur-config --list prints the settings" grep -q '^NumDogs=' "$scratch/list.out"
check "XScreenSaver's larkspur.xml parses" xmllint --noout /usr/share/xscreensaver/config/larkspur.xml
check "the idle watcher's unit runs /usr/bin/larkspur --idle" \
  grep -qxF 'ExecStart=/usr/bin/larkspur --idle' /usr/lib/systemd/user/larkspur-idle.service
check "installing enabled the idle watcher for nobody" \
  test -z "$(find /etc/systemd/user /etc/xdg/autostart -name 'larkspur*' 2>/dev/null)"
for entry in /usr/share/applications/larkspur-config.desktop /usr/share/applications/screensavers/larkspur.desktop \
  /usr/share/applications/larkspur.desktop /usr/share/larkspur/larkspur-idle.desktop; do
  check "$entry validates" desktop-file-validate "$entry"
done
check "the menu entry Larkspur runs the installed program full-screen" \
  grep -qxF 'Exec=larkspur --fullscreen' /usr/share/applications/larkspur.desktop
for page in /usr/share/man/man6/larkspur.6.gz /usr/share/man/man1/larkspur-config.1.gz /usr/share/man/man1/larkspur-pack.1.gz; do
  check "$page is a whole gzip file" gzip -t "$page"
done
check "apt show reads the description" grep -q '^Description: 3D screensaver' <(apt-cache show larkspur 2>/dev/null)

if apt_get purge larkspur >"$scratch/apt.log" 2>&1; then
  installed=0
else
  cat "$scratch/apt.log"
  fail "apt-get purge larkspur"
fi
status=$(package_status)
check "dpkg knows nothing of larkspur after the purge (status: $status)" test -z "$status" -o "$status" = not-installed
while read -r path; do
  grep -qxF "$path" "$scratch/there-before" && continue
  check "$path is gone after the purge" test ! -e "$path"
done <"$scratch/paths"

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
