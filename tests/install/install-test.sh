#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what lands where, and starts the
# installed program: the settings file must then appear in the per-user folder, and nothing
# under the prefix, even though this user (root, say) could write there.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-install.XXXXXX")
pid=
stop() {
  if [[ -n $pid ]]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
  fi
}
cleanup() {
  stop
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
program_dir=$prefix/libexec/qsrlink

for f in libexec/qsrlink/qsrlink libexec/qsrlink/qsr540-sim; do
  [[ -f $prefix/$f && -x $prefix/$f ]] || fail "$f is not an installed program"
done
id=io.github.qsrlink.qsrlink
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
icons=$prefix/share/icons/hicolor
for f in libexec/qsrlink/qsr540_comm.html share/man/man1/qsrlink.1.gz \
  share/man/man1/qsr540-sim.1.gz share/doc/qsrlink/copyright \
  share/doc/qsrlink/changelog.Debian.gz; do
  [[ -f $prefix/$f ]] || fail "$f is missing"
done
# bin/ holds relative links into the program folder, so the help page is found beside the
# executable the link resolves to, whatever the prefix.
for p in qsrlink qsr540-sim; do
  [[ -L $prefix/bin/$p ]] || fail "bin/$p is not a symbolic link"
  [[ $(readlink "$prefix/bin/$p") == ../libexec/qsrlink/$p ]] ||
    fail "bin/$p points to $(readlink "$prefix/bin/$p")"
  [[ $(readlink -f "$prefix/bin/$p") == $(readlink -f "$program_dir/$p") ]] ||
    fail "bin/$p does not reach the program folder"
done
# The build's portable marker stays in the build: an installed program is never portable.
[[ ! -e $program_dir/portable ]] || fail "the portable marker was installed"
# The simulator's manual page lists the options its --help does.
options() { tr -d '\\' | grep -oE '^ *(\.BI? )?--[a-z-]+' | sed -E 's/^ *(\.BI? )?//' | sort; }
listed=$("$prefix/bin/qsr540-sim" --help | options)
documented=$(zcat "$prefix/share/man/man1/qsr540-sim.1.gz" | options)
grep -qx -- '--link' <<<"$listed" || fail "qsr540-sim --help: $listed"
[[ $listed == "$documented" ]] || fail "qsr540-sim(1) lists $documented, --help $listed"

# The icons: a PNG of each size (width and height are the IHDR's bytes 16..23) and the SVG.
for size in 16 32 48 64 128 256; do
  png=$icons/${size}x$size/apps/$id.png
  [[ -f $png ]] || fail "no $size px icon"
  dims=$(od -An -tu4 --endian=big -j16 -N8 "$png" | tr -s ' ')
  [[ $dims == " $size $size" ]] || fail "$size px icon is$dims"
done
grep -q '<svg ' "$icons/scalable/apps/$id.svg" || fail "no scalable icon"

grep -qx 'Exec=qsrlink' "$desktop" || fail "desktop Exec"
grep -qx "Icon=$id" "$desktop" || fail "desktop Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --strict --no-net --no-color "$metainfo" >"$tmp/validate.txt" 2>&1 ||
    fail "metainfo: $(cat "$tmp/validate.txt")"
  # A software centre's catalogue entry, as a distribution composes it from the installed
  # files: the component with its icon found in the hicolor theme (appstream-compose).
  if appstreamcli compose --help >/dev/null 2>&1; then
    appstreamcli compose --no-net --no-color --print-report=full --prefix=/ --origin=qsrlink \
      --result-root="$tmp/catalogue" "$prefix" >"$tmp/compose.txt" 2>&1 ||
      fail "compose: $(cat "$tmp/compose.txt")"
    catalogue=$(zcat "$tmp/catalogue/share/swcatalog/xml/qsrlink.xml.gz") ||
      fail "no catalogue: $(cat "$tmp/compose.txt")"
    grep -qF "<id>$id</id>" <<<"$catalogue" || fail "$id is not in the catalogue"
    grep -qF "<icon type=\"cached\" width=\"64\" height=\"64\">$id.png</icon>" <<<"$catalogue" ||
      fail "catalogue entry without a 64 px icon: $(cat "$tmp/compose.txt")"
    [[ -f $tmp/catalogue/share/swcatalog/icons/qsrlink/64x64/$id.png ]] || fail "no cached icon"
  fi
fi

# Start it as an installed program with a fresh home, as whoever runs the test: for root
# (and for this user, who owns the temporary prefix) the program folder is writable, yet
# nothing may be written under the prefix.
home=$tmp/home
mkdir -p "$home"
listing() { (cd "$prefix" && find . -printf '%p %s %T@\n' | sort); }
before=$(listing)
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME="$home" \
  QT_QPA_PLATFORM=offscreen "$prefix/bin/qsrlink" >"$tmp/out.txt" 2>&1 &
pid=$!

settings=$home/.local/share/qsrlink/540comm.st
for _ in $(seq 200); do
  [[ -s $settings ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$tmp/out.txt")"
  sleep 0.05
done
[[ -s $settings ]] || fail "no settings file at $settings"
kill -0 "$pid" 2>/dev/null || fail "the program ended after writing the settings"

# The defaults name files in the per-user folder: line 2 holds the log and parameter file,
# the second padded to the next print zone.
line2=$(sed -n 2p "$settings" | tr -d '\r')
data=$home/.local/share/qsrlink
pattern="^$data/qsr540\\.csv, +$data/qsr540\\.txt\$"
[[ $line2 =~ $pattern ]] || fail "file-name line: $line2"
[[ $(wc -l <"$settings") -eq 3 ]] || fail "settings file has $(wc -l <"$settings") lines"
# It has no command-line options and no way to be asked to end: end it here.
stop
after=$(listing)
[[ $before == "$after" ]] || fail "written under the prefix: $(diff <(echo "$before") <(echo "$after"))"
echo "PASS: installed into $prefix; settings in the per-user folder, nothing written under the prefix"
