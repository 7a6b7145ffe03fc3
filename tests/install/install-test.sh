#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what lands where, and starts the
# installed program from a read-only program folder: the settings file must then appear in
# the per-user folder, and nothing in the program folder.
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
for f in libexec/qsrlink/qsr540_comm.html share/applications/qsrlink.desktop \
  share/metainfo/qsrlink.metainfo.xml share/icons/hicolor/32x32/apps/qsrlink.png; do
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
"$prefix/bin/qsr540-sim" --help | grep -q -- '--link PATH' || fail "qsr540-sim --help"

# The icon: a 32 x 32 PNG (width and height are the IHDR's bytes 16..23).
size=$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/32x32/apps/qsrlink.png" | tr -s ' ')
[[ $size == " 0 0 0 32 0 0 0 32" ]] || fail "icon size bytes:$size"
grep -qx 'Exec=qsrlink' "$prefix/share/applications/qsrlink.desktop" || fail "desktop Exec"
grep -qx 'Icon=qsrlink' "$prefix/share/applications/qsrlink.desktop" || fail "desktop Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/qsrlink.desktop" || fail "desktop entry"
fi

# Start it as a system-wide install: program folder read-only, a fresh home. Root may write
# anywhere, so root runs it as nobody.
chmod -R a-w "$program_dir"
home=$tmp/home
mkdir -p "$home"
run=()
if [[ $(id -u) -eq 0 ]]; then
  chmod 755 "$tmp"
  chown nobody "$home"
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME="$home" \
  QT_QPA_PLATFORM=offscreen "${run[@]}" "$prefix/bin/qsrlink" >"$tmp/out.txt" 2>&1 &
pid=$!

settings=$home/.local/share/qsrlink/540comm.st
for _ in $(seq 200); do
  [[ -s $settings ]] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended: $(cat "$tmp/out.txt")"
  sleep 0.05
done
[[ -s $settings ]] || fail "no settings file at $settings"
kill -0 "$pid" 2>/dev/null || fail "the program ended after writing the settings"
[[ ! -e $program_dir/540comm.st ]] || fail "settings written into the program folder"

# The defaults name files in the per-user folder: line 2 holds the log and parameter file,
# the second padded to the next print zone.
line2=$(sed -n 2p "$settings" | tr -d '\r')
data=$home/.local/share/qsrlink
pattern="^$data/qsr540\\.csv, +$data/qsr540\\.txt\$"
[[ $line2 =~ $pattern ]] || fail "file-name line: $line2"
[[ $(wc -l <"$settings") -eq 3 ]] || fail "settings file has $(wc -l <"$settings") lines"
# It has no command-line options and no way to be asked to end: end it here.
stop
echo "PASS: installed into $prefix; settings in the per-user folder"
