#!/usr/bin/env bash
# Builds the Debian package from the build and checks its fields and contents.
# Usage: package-test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-deb.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (Debian package dpkg-dev)"
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
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 \
  libqt6printsupport6; do
  sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" | grep -qxF "$lib" || fail "Depends lacks $lib: $depends"
done
grep -q 'fonts-noto-cjk' <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"

# Paths (and link targets) without permissions, owner, size and date.
contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
id=io.github.qsrlink.qsrlink
for f in ./usr/libexec/qsrlink/qsrlink ./usr/libexec/qsrlink/qsr540-sim \
  ./usr/libexec/qsrlink/qsr540_comm.html ./usr/share/applications/$id.desktop \
  ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/32x32/apps/$id.png \
  ./usr/share/icons/hicolor/256x256/apps/$id.png ./usr/share/icons/hicolor/scalable/apps/$id.svg \
  "./usr/bin/qsrlink -> ../libexec/qsrlink/qsrlink" \
  "./usr/bin/qsr540-sim -> ../libexec/qsrlink/qsr540-sim"; do
  grep -qxF "$f" <<<"$contents" || fail "package lacks $f"
done
# Nothing but the program's own files, and only under /usr.
stray=$(grep -v -e '^\./usr/' -e '^\./$' <<<"$contents" || true)
[[ -z $stray ]] || fail "files outside /usr: $stray"
grep -qE 'tst_|bench' <<<"$contents" && fail "tests or benchmarks in the package"

dpkg-deb -x "$deb" "$tmp/root"
src=$(dirname "$0")/../..
cmp "$tmp/root/usr/libexec/qsrlink/qsr540_comm.html" "$src/docs/qsr540_comm.html" ||
  fail "packaged help page differs from docs/"
echo "PASS: $(basename "$deb"): Depends: $depends"
