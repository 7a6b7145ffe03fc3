#!/usr/bin/env bash
# Builds the Debian package from the build and checks its fields and contents.
# Usage: package-test.sh BUILD_DIR [HARDENED]
# HARDENED (ON or OFF, default ON) says whether the build used the hardening flags: the
# sanitizer build does not, so its package is checked for contents only, and neither for
# hardening nor by lintian, which would report the missing flags.
set -euo pipefail
build=$1
hardened=${2:-ON}
src=$(dirname "$0")/../..
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-deb.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"
# The package's version is the changelog's newest entry's.
version=$(dpkg-parsechangelog -l "$src/packaging/changelog" -S Version)
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$tmp/cpack.log")"
debs=("$tmp"/qsrlink_"$version"_*.deb)
[[ -f ${debs[0]} ]] || fail "no qsrlink_${version}_*.deb in $(ls "$tmp")"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == qsrlink ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version)"
[[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "Architecture"
[[ $(field Section) == science ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
long=$(field Description | awk 'length > 79')
[[ -z $long ]] || fail "description lines over 80 columns: $long"
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 \
  libqt6printsupport6 libmosquitto1; do
  sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" | grep -qxF "$lib" || fail "Depends lacks $lib: $depends"
done
grep -q 'fonts-noto-cjk' <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"
grep -q '^ The headless qsrlink-logger ' <<<"$(field Description)" ||
  fail "the description does not name the logger"

# Paths (and link targets) without permissions, owner, size and date.
contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
id=io.github.qsrlink.qsrlink
for f in ./usr/libexec/qsrlink/qsrlink ./usr/libexec/qsrlink/qsr540-sim \
  ./usr/libexec/qsrlink/qsrlink-logger ./usr/libexec/qsrlink/qsr540_comm.html \
  ./usr/share/applications/$id.desktop \
  ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/32x32/apps/$id.png \
  ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/icons/hicolor/scalable/apps/$id.svg \
  ./usr/share/doc/qsrlink/copyright ./usr/share/doc/qsrlink/changelog.Debian.gz \
  ./usr/share/doc/qsrlink/attach-protocol.md.gz \
  ./usr/share/man/man1/qsrlink.1.gz ./usr/share/man/man1/qsr540-sim.1.gz \
  ./usr/share/man/man1/qsrlink-logger.1.gz ./usr/lib/systemd/system/qsrlink-logger@.service \
  ./usr/lib/sysusers.d/qsrlink.conf \
  ./usr/share/doc/qsrlink/examples/qsrlink-logger.conf.example \
  ./usr/share/lintian/overrides/qsrlink \
  "./usr/bin/qsrlink -> ../libexec/qsrlink/qsrlink" \
  "./usr/bin/qsr540-sim -> ../libexec/qsrlink/qsr540-sim" \
  "./usr/bin/qsrlink-logger -> ../libexec/qsrlink/qsrlink-logger"; do
  grep -qxF "$f" <<<"$contents" || fail "package lacks $f"
done
# Nothing but the program's own files, and only under /usr.
stray=$(grep -v -e '^\./usr/' -e '^\./$' <<<"$contents" || true)
[[ -z $stray ]] || fail "files outside /usr: $stray"
grep -qE 'tst_|bench' <<<"$contents" && fail "tests or benchmarks in the package"

dpkg-deb -x "$deb" "$tmp/root"
cmp "$tmp/root/usr/libexec/qsrlink/qsr540_comm.html" "$src/docs/qsr540_comm.html" ||
  fail "packaged help page differs from docs/"
doc=$tmp/root/usr/share/doc/qsrlink
cmp "$doc/copyright" "$src/packaging/copyright" || fail "packaged copyright differs"

# Compressed as gzip -9n does: no file name (flags byte 3 is 0) and no time (bytes 4..7).
for gz in "$doc/changelog.Debian.gz" "$tmp"/root/usr/share/man/man1/*.gz; do
  [[ $(od -An -tu1 -j3 -N5 "$gz" | tr -s ' ') == " 0 0 0 0 0" ]] ||
    fail "$(basename "$gz") carries a name or time"
done
zcmp "$doc/changelog.Debian.gz" "$src/packaging/changelog" || fail "packaged changelog differs"
for page in qsrlink qsr540-sim qsrlink-logger; do
  zcmp "$tmp/root/usr/share/man/man1/$page.1.gz" "$src/docs/man/$page.1" ||
    fail "packaged manual page $page differs"
done
unit=$tmp/root/usr/lib/systemd/system/qsrlink-logger@.service
sed 's#@QSRLINK_LOGGER@#/usr/bin/qsrlink-logger#' "$src/packaging/qsrlink-logger@.service.in" |
  cmp - "$unit" || fail "packaged service template differs"
cmp "$tmp/root/usr/lib/sysusers.d/qsrlink.conf" "$src/packaging/qsrlink.sysusers" ||
  fail "packaged sysusers.d file differs"
# The maintainer scripts, executable as dpkg runs them.
dpkg-deb -e "$deb" "$tmp/control"
for script in postinst prerm postrm; do
  cmp "$tmp/control/$script" "$src/packaging/deb/$script" || fail "packaged $script differs"
  [[ $(stat -c %a "$tmp/control/$script") == 755 ]] || fail "$script is not mode 755"
done
cmp "$doc/examples/qsrlink-logger.conf.example" "$src/packaging/qsrlink-logger.conf.example" ||
  fail "packaged example config differs"
# The service's ExecStart names the packaged program (the bin/ link).
exec=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
[[ $exec == /usr/bin/qsrlink-logger && -L $tmp/root$exec && -x $tmp/root$exec ]] ||
  fail "the service starts $exec, not the packaged /usr/bin/qsrlink-logger"

# Installed, an instance enabled, purged: nothing of the package stays, neither an enable
# link nor deb-systemd-helper's record. Into a root of the test's own with a package
# database of its own; the maintainer scripts run outside it (chrootless, with DPKG_ROOT),
# and this machine's users, units and records stay as they were. dpkg needs root.
if ((EUID != 0)); then
  echo "SKIP: install, enable and purge need root"
else
  sysroot=$tmp/sysroot
  admin=$sysroot/var/lib/dpkg
  mkdir -p "$admin/info" "$admin/updates" "$admin/triggers" "$sysroot/etc"
  touch "$admin/status"
  printf 'root:x:0:0:root:/root:/bin/bash\n' >"$sysroot/etc/passwd"
  printf 'root:x:0:\ndialout:x:20:\n' >"$sysroot/etc/group"
  host() {
    cat /etc/passwd /etc/group
    find /etc/systemd /var/lib/systemd -name '*qsrlink*' 2>/dev/null || true
  }
  before=$(host)
  dpkg=(dpkg --root="$sysroot" --log="$tmp/dpkg.log" --force-script-chrootless --force-depends)
  "${dpkg[@]}" -i "$deb" >"$tmp/dpkg.txt" 2>&1 || fail "dpkg -i: $(cat "$tmp/dpkg.txt")"
  # postinst made the service's user, in dialout.
  grep -q '^qsrlink:x:[0-9]*:[0-9]*:QSRLINK logger:' "$sysroot/etc/passwd" ||
    fail "no user qsrlink: $(cat "$sysroot/etc/passwd")"
  grep -qx 'dialout:x:20:qsrlink' "$sysroot/etc/group" ||
    fail "qsrlink is not in dialout: $(cat "$sysroot/etc/group")"
  systemctl --root="$sysroot" enable qsrlink-logger@line1.service >"$tmp/enable.txt" 2>&1 ||
    fail "systemctl enable: $(cat "$tmp/enable.txt")"
  [[ -L $sysroot/etc/systemd/system/multi-user.target.wants/qsrlink-logger@line1.service ]] ||
    fail "no enable link: $(cat "$tmp/enable.txt")"
  "${dpkg[@]}" --purge qsrlink >"$tmp/dpkg.txt" 2>&1 || fail "dpkg --purge: $(cat "$tmp/dpkg.txt")"
  # What stays is the user (Debian keeps system users) and the database.
  left=$(cd "$sysroot" && find . ! -type d ! -path './var/lib/dpkg/*' \
    ! -regex '\./etc/\(passwd\|group\|shadow\|gshadow\|\.pwd\.lock\)-?' | sort)
  [[ -z $left ]] || fail "left after purge: $left"
  [[ $(host) == "$before" ]] || fail "this machine changed: $(diff <(echo "$before") <(host))"
fi

if [[ $hardened != ON ]]; then
  echo "PASS: $(basename "$deb"): Depends: $depends (unhardened build: hardening and lintian not checked)"
  exit 0
fi

# Built hardened: position-independent, relocations read-only and bound at start, stack
# protector; the simulator's snprintf is the fortified one (the program calls none).
for program in qsrlink qsrlink-logger qsr540-sim; do
  elf=$tmp/root/usr/libexec/qsrlink/$program
  # Read whole before grep -q may stop reading: no broken pipe under pipefail.
  header=$(readelf -W -h -l -d "$elf")
  symbols=$(readelf -W --dyn-syms "$elf")
  grep -q 'Type: *DYN' <<<"$header" || fail "$program is not position-independent"
  grep -q 'BIND_NOW' <<<"$header" || fail "$program is not bound now"
  grep -q 'GNU_RELRO' <<<"$header" || fail "$program has no read-only relocations"
  grep -q '__stack_chk_fail' <<<"$symbols" || fail "$program has no stack protector"
done
grep -q '__snprintf_chk' <<<"$symbols" || fail "qsr540-sim is not fortified"

# Debian's package checker, where it is installed: errors and warnings fail, the
# remaining information is printed.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --display-info "$deb" >"$tmp/lintian.txt" 2>&1 ||
    fail "lintian: $(cat "$tmp/lintian.txt")"
  grep -v '^running with root privileges' "$tmp/lintian.txt" || true
fi
echo "PASS: $(basename "$deb"): Depends: $depends"
