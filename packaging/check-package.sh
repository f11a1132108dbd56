#!/usr/bin/env bash
# Checks the Debian package: its files, its dependencies, its maintainer
# scripts, and that what it carries works (the program starts, the unit runs
# the server as the service user, the manual page renders, the manual has
# pages).
#
#   check-package.sh BUILD_DIR PREFIX [DEB]
#
# Without DEB the package is made from BUILD_DIR with cpack first.
set -euo pipefail
build=$1 prefix=$2 deb=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if [ -z "$deb" ]; then
  (cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; exit 1; }
  deb=$(ls "$work"/cpack/dovevid_*.deb)
fi
echo "== $deb ($(du -k "$deb" | cut -f1) KiB)"

# Exactly these files, nothing from the build or the tests.
p=${prefix#/}
cat >"$work/want" <<LIST
./$p/bin/dovevid
./$p/bin/dovevid-vprinter
./$p/lib/systemd/system/dovevid.service
./$p/libexec/dovevid/dovevid-program
./$p/share/applications/dovevid.desktop
./$p/share/doc/dovevid/darodad1.pdf
./$p/share/doc/dovevid/examples/receipt.sl
./$p/share/doc/dovevid/examples/receipt.txt
./$p/share/icons/hicolor/scalable/apps/dovevid.svg
./$p/share/man/man1/dovevid.1.gz
LIST
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/got"
diff -u "$work/want" "$work/got" || fail "package files differ from the list above"

dpkg-deb -f "$deb" Package Architecture Depends
[ "$(dpkg-deb -f "$deb" Package)" = dovevid ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
root="$work/root"
dpkg-deb -x "$deb" "$root"
# Every shared library the program needs is declared, by its Debian package.
needed=$(for exe in "$root/$p/bin/dovevid" "$root/$p/libexec/dovevid/dovevid-program"; do
  readelf -d "$exe" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p'
done | sort -u)
for lib in $needed; do
  case $lib in
    libQt6*.so.6) pkg=$(echo "${lib%.so.6}" | tr 'A-Z' 'a-z')6 ;;
    libcups.so.2) pkg=libcups2 ;;
    libfmt.so.9) pkg=libfmt9 ;;
    *) continue ;;
  esac
  grep -q "\b$pkg\b" <<<"$depends" || fail "$lib needed but $pkg not in Depends"
done
grep -q '\badduser\b' <<<"$depends" || fail "adduser not in Depends"
# Opened at run time, so no library scan finds it.
grep -q '\blibcups2\b' <<<"$depends" || fail "libcups2 not in Depends"

dpkg-deb -e "$deb" "$work/control"
for word in 'adduser --quiet --system' 'dovevid dialout' 'dovevid lp' '-m 2770 /var/lib/QNBKORV1'; do
  grep -q -- "$word" "$work/control/postinst" || fail "postinst lacks '$word'"
done
[ -x "$work/control/prerm" ] && [ -x "$work/control/postrm" ] || fail "prerm or postrm missing"

unit="$root/$p/lib/systemd/system/dovevid.service"
for line in "ExecStart=$prefix/bin/dovevid --headless" User=dovevid StateDirectory=QNBKORV1; do
  grep -qx -- "$line" "$unit" || fail "unit lacks '$line'"
done
grep -qx "Exec=dovevid" "$root/$p/share/applications/dovevid.desktop" || fail "desktop Exec"

"$root/$p/bin/dovevid" --version | grep -q '^dovevid ' || fail "the packaged program does not start"
MANWIDTH=80 man -l "$root/$p/share/man/man1/dovevid.1.gz" 2>"$work/man.err" | grep -q '^NAME' ||
  fail "man page does not render"
[ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man page warnings"; }
pdf="$root/$p/share/doc/dovevid/darodad1.pdf"
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
[ "${pages:-0}" -ge 5 ] || fail "manual has ${pages:-no} pages"
echo "manual: $pages pages"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package checks passed"
