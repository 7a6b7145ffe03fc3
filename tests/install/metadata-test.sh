#!/usr/bin/env bash
# The package's texts, checked in the source tree: links into the repository's main branch
# name files that exist, the release notes are at the program's version, one component id is
# used throughout, the copyright file carries LICENSE's terms, and the manual pages format
# without warnings.
# Usage: metadata-test.sh SOURCE_DIR VERSION
set -euo pipefail
src=$1
version=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Pages on github.com and raw files, wherever the program, its packaging and its documents
# give them.
links=$(grep -rIhoE \
  'https://(github\.com/qsrlink/qsrlink/blob/main|raw\.githubusercontent\.com/qsrlink/qsrlink/main)/[^]"<>)[:space:]]+' \
  "$src"/{packaging,docs,src,tools} "$src/README.md" | sort -u)
count=0
while read -r url; do
  path=${url#https://github.com/qsrlink/qsrlink/blob/main/}
  path=${path#https://raw.githubusercontent.com/qsrlink/qsrlink/main/}
  [[ -f $src/$path ]] || fail "$url names no file of the repository"
  count=$((count + 1))
done <<<"$links"
# The help page and two screenshots at least: a pattern that finds nothing fails here.
((count >= 3)) || fail "only $count links into the repository found"

metainfo=$src/packaging/io.github.qsrlink.qsrlink.metainfo.xml
newest=$(grep -m1 -oE '<release version="[^"]+"' "$metainfo" | cut -d'"' -f2)
[[ $newest == "$version" ]] || fail "metainfo's newest release is $newest, not $version"

# Software centres show screenshots at least 1024 pixels wide, at the size the metainfo says
# (a PNG's width and height are its IHDR's bytes 16..23).
shots=$(grep -oE '<image[^>]*>[^<]+</image>' "$metainfo")
[[ -n $shots ]] || fail "metainfo has no screenshots"
while read -r image; do
  file=$src/${image#*/qsrlink/main/}
  file=${file%</image>}
  width=$(sed -nE 's/.* width="([0-9]+)".*/\1/p' <<<"$image")
  height=$(sed -nE 's/.* height="([0-9]+)".*/\1/p' <<<"$image")
  [[ -n $width && -n $height ]] || fail "no width and height: $image"
  ((width >= 1024)) || fail "a screenshot $width pixels wide: $image"
  dims=$(od -An -tu4 --endian=big -j16 -N8 "$file" | tr -s ' ')
  [[ $dims == " $width $height" ]] || fail "$(basename "$file") is$dims, not $width $height"
done <<<"$shots"
# Every program the package puts on the path, and a description for every release.
for binary in qsrlink qsr540-sim qsrlink-logger; do
  grep -qF "<binary>$binary</binary>" "$metainfo" || fail "metainfo does not provide $binary"
done
releases=$(grep -c '<release ' "$metainfo")
described=$(sed -n '/<release /,/<\/release>/p' "$metainfo" |
  awk '/<release /{ p = 0 } /<description>/{ d = 1 } d && /<p>/{ p = 1 } /<\/release>/{ n += p; d = 0 } END { print n + 0 }')
((releases > 0 && described == releases)) || fail "$described of $releases releases described"

# One component id names the desktop entry, the metainfo, the icon and the running program.
id=io.github.qsrlink.qsrlink
grep -qx "Icon=$id" "$src/packaging/$id.desktop" || fail "desktop entry's Icon"
for element in "<id>$id</id>" "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
  "<icon type=\"stock\">$id</icon>"; do
  grep -qF "$element" "$metainfo" || fail "metainfo lacks $element"
done
grep -qF "setDesktopFileName(QStringLiteral(\"$id\"))" "$src/src/app/main.cpp" ||
  fail "the program does not name its desktop entry $id"

# The copyright file's Expat text is LICENSE's, from "Permission" to the end.
license=$(sed -n '/^Permission/,$p' "$src/LICENSE")
copyright=$(sed -n '/^License: Expat$/,$p' "$src/packaging/copyright" | sed -n '/^ /p' |
  sed 's/^ //; s/^\.$//')
[[ $license == "$copyright" ]] || fail "packaging/copyright's Expat text differs from LICENSE"
grep -qx 'Copyright (c) 2026 QSRLINK developers' "$src/LICENSE" || fail "LICENSE copyright line"
grep -qx 'Copyright: 2026 QSRLINK developers' "$src/packaging/copyright" || fail "copyright holder"

if command -v man >/dev/null; then
  for page in "$src"/docs/man/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
  done
fi
echo "PASS: $count links into the repository; release $version; copyright; manual pages"
