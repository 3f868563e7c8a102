#!/usr/bin/env bash
# cpack -G DEB makes a package that declares the libraries zeph links; as root
# (or with sudo) it is installed with apt-get, run and removed again.
set -euo pipefail
program=$1
build_dir=$(cd "$(dirname "$program")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (dpkg-dev)"

(cd "$build_dir" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/zeph_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no zeph_*.deb made"
info=$(dpkg-deb -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
for library in libncursesw6 libsdl2 libfreetype6 libfontconfig1 libpng16 libc6 fonts-liberation; do
    grep -qF "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
contents=$(dpkg-deb -c "$deb")
grep -qE '\./usr/bin/zeph$' <<<"$contents" || fail "no /usr/bin/zeph in the package"
grep -qE '\./usr/share/man/man1/zeph\.1\.gz$' <<<"$contents" || fail "no compressed manual page in the package"
# Debian's package checker finds no error and no warning.
if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 --fail-on error,warning "$deb" > "$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; fail "lintian"; }
    ! grep -E '^(E|W): ' "$work/lintian.log" || fail "lintian reports the above"
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then sudo="sudo -n"; else
        echo "package ok; install skipped (neither root nor sudo)"; exit 0
    fi
fi
if dpkg -s zeph >/dev/null 2>&1; then
    echo "package ok; install skipped (a zeph package is installed already)"; exit 0
fi
trap '$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=60 zeph \
      >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
(cd "$work" && $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=60 "./$(basename "$deb")" >"$work/apt.log" 2>&1) || { cat "$work/apt.log"; fail "apt-get install failed"; }
version=$(/usr/bin/zeph --version) || fail "installed zeph --version failed"
[ "$version" = "zeph $(sed -n 's/^ Version: //p' <<<"$info")" ] || fail "installed version: $version"
man -w zeph >/dev/null 2>&1 || fail "man does not find the installed page"
# A run of the installed program (as root here) keeps its files in the state folder, never in /usr/bin.
echo "EN" | HOME="$work/home" XDG_STATE_HOME= /usr/bin/zeph >/dev/null 2>&1 || fail "installed zeph run failed"
[ -f "$work/home/.local/state/zeph/ZEPH32.TMP" ] || fail "no reply log in the state folder"
! ls /usr/bin/ZEPH32.* /usr/bin/STATS.TXT 2>/dev/null || fail "files written beside /usr/bin/zeph"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=60 zeph >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "apt-get remove failed"; }
[ ! -e /usr/bin/zeph ] || fail "/usr/bin/zeph left after removal"
echo "package ok; installed, ran and removed"
