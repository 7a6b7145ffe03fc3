#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what lands where, and starts the
# installed program: seen at the prefix the build was configured with, its settings file
# must appear in the per-user folder, and nothing under the prefix, even though this user
# (root, say) could write there; at the temporary prefix, beside the program.
# Usage: install-test.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-install.XXXXXX")
pid=
xvfb=
stop() {
  if [[ -n $pid ]]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
  fi
}
cleanup() {
  stop
  [[ -z $xvfb ]] || kill "$xvfb" 2>/dev/null || true
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

for f in libexec/qsrlink/qsrlink libexec/qsrlink/qsr540-sim libexec/qsrlink/qsrlink-logger; do
  [[ -f $prefix/$f && -x $prefix/$f ]] || fail "$f is not an installed program"
done
id=io.github.qsrlink.qsrlink
desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
icons=$prefix/share/icons/hicolor
unit=$prefix/lib/systemd/system/qsrlink-logger@.service
example=$prefix/share/doc/qsrlink/examples/qsrlink-logger.conf.example
for f in libexec/qsrlink/qsr540_comm.html share/man/man1/qsrlink.1.gz \
  share/man/man1/qsr540-sim.1.gz share/man/man1/qsrlink-logger.1.gz \
  share/doc/qsrlink/copyright share/doc/qsrlink/changelog.Debian.gz \
  share/doc/qsrlink/attach-protocol.md.gz \
  lib/systemd/system/qsrlink-logger@.service lib/sysusers.d/qsrlink.conf \
  share/doc/qsrlink/examples/qsrlink-logger.conf.example; do
  [[ -f $prefix/$f ]] || fail "$f is missing"
done
# bin/ holds relative links into the program folder, so the help page is found beside the
# executable the link resolves to, whatever the prefix.
for p in qsrlink qsr540-sim qsrlink-logger; do
  [[ -L $prefix/bin/$p ]] || fail "bin/$p is not a symbolic link"
  [[ $(readlink "$prefix/bin/$p") == ../libexec/qsrlink/$p ]] ||
    fail "bin/$p points to $(readlink "$prefix/bin/$p")"
  [[ $(readlink -f "$prefix/bin/$p") == $(readlink -f "$program_dir/$p") ]] ||
    fail "bin/$p does not reach the program folder"
done
# No portable marker: it would keep an installed program's files beside it.
[[ ! -e $program_dir/portable ]] || fail "a portable marker was installed"
# The simulator's manual page lists the options its --help does.
options() { tr -d '\\' | grep -oE '^ *(\.BI? )?--[a-z-]+' | sed -E 's/^ *(\.BI? )?//' | sort; }
listed=$("$prefix/bin/qsr540-sim" --help | options)
documented=$(zcat "$prefix/share/man/man1/qsr540-sim.1.gz" | options)
grep -qx -- '--link' <<<"$listed" || fail "qsr540-sim --help: $listed"
[[ $listed == "$documented" ]] || fail "qsr540-sim(1) lists $documented, --help $listed"

# The logger's manual page is checked against its option table by tst_loggeroptions.
logger=$prefix/bin/qsrlink-logger
# Help ends well; a poll interval of 0 is a bad option (2), refused before any port is
# opened or any file written.
"$logger" --help >/dev/null || fail "qsrlink-logger --help exits $?"
complains() { # WHAT OPTION...: the logger exits 2, saying WHAT
  local what=$1 status=0
  shift
  "$logger" "$@" >/dev/null 2>"$tmp/logger.txt" || status=$?
  if ((status != 2)) || ! grep -q -- "$what" "$tmp/logger.txt"; then
    fail "qsrlink-logger $* exits $status: $(cat "$tmp/logger.txt")"
  fi
}
complains '--poll takes' --poll 0

# The service template: an instance starts the logger of this install (its bin/ link) with
# its config in /etc/qsrlink, as the package's user, and systemd's own checker accepts it,
# its manual page looked up in this install.
grep -qxF "ExecStart=$prefix/bin/qsrlink-logger --config /etc/qsrlink/%i.conf" "$unit" ||
  fail "unit ExecStart: $(grep '^ExecStart' "$unit")"
for line in User=qsrlink Group=qsrlink SupplementaryGroups=dialout StateDirectory=qsrlink \
  StateDirectoryMode=0750 RestartPreventExitStatus=2 Restart=on-failure \
  'Documentation=man:qsrlink-logger(1)' WantedBy=multi-user.target; do
  grep -qxF "$line" "$unit" || fail "unit lacks $line"
done
grep -qx 'u qsrlink - "QSRLINK logger"' "$prefix/lib/sysusers.d/qsrlink.conf" ||
  fail "no service user in sysusers.d"
if command -v systemd-analyze >/dev/null; then
  # It runs man for the Documentation= page, where man is installed.
  man=--man=yes
  command -v man >/dev/null || man=--man=no
  MANPATH=$prefix/share/man systemd-analyze verify "$man" "$unit" \
    >"$tmp/verify.txt" 2>&1 || fail "systemd-analyze verify: $(cat "$tmp/verify.txt")"
  # Unknown keys and bad values are warnings only, with status 0: any word fails as well.
  [[ ! -s $tmp/verify.txt ]] || fail "systemd-analyze verify: $(cat "$tmp/verify.txt")"
  # Hardened: systemd's exposure score at most 2.0 ("OK") of 10.
  systemd-analyze security --offline=true --no-pager "$unit" >"$tmp/security.txt" 2>&1 ||
    fail "systemd-analyze security: $(cat "$tmp/security.txt")"
  score=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p' "$tmp/security.txt")
  [[ -n $score ]] || fail "no exposure level: $(cat "$tmp/security.txt")"
  awk -v s="$score" 'BEGIN { exit !(s <= 2.0) }' ||
    fail "exposure level $score: $(grep '✗' "$tmp/security.txt")"
fi
# Installed at the prefix the build was configured with (staged as a package would be), the
# unit names that prefix's program.
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
DESTDIR=$tmp/staged cmake --install "$build" >/dev/null
grep -qxF "ExecStart=$configured/bin/qsrlink-logger --config /etc/qsrlink/%i.conf" \
  "$tmp/staged$configured/lib/systemd/system/qsrlink-logger@.service" ||
  fail "the unit installed at $configured starts $(grep -h '^ExecStart' \
    "$tmp/staged$configured/lib/systemd/system/qsrlink-logger@.service")"

# The example config, read as the service would read it (with a device and log of this
# test): every line it leaves on is an option the logger takes.
sed -e "s#^device = .*#device = $tmp/no-such-device#" -e "s#/var/lib/qsrlink/#$tmp/#" \
  "$example" >"$tmp/example.conf"
grep -qx 'daily' "$tmp/example.conf" || fail "the example config logs no file a day"
# Copied for another instance, it still logs to a file of that instance's own.
grep -qx 'log = /var/lib/qsrlink/%i.csv' "$example" ||
  fail "the example config's log is not named after its instance"
grep -q '^#mqtt-password-file = mqtt-password$' "$tmp/example.conf" ||
  fail "the example config shows no password credential"
grep -q 'LoadCredential=mqtt-password:/etc/qsrlink/' "$tmp/example.conf" ||
  fail "the example config shows no LoadCredential"
# Each run ends with a bad value given last on the command line, checked after all the
# file's options: its complaint, and no other, shows that the file was taken.
complains '--log-interval takes' --config "$tmp/example.conf" --log-interval 0
# With its MQTT lines on, the password comes from the service's credentials folder.
sed -e 's/^#mqtt = mqtt:/mqtt = mqtt:/' -e 's/^#mqtt-user/mqtt-user/' \
  -e 's/^#mqtt-password-file/mqtt-password-file/' "$tmp/example.conf" >"$tmp/mqtt.conf"
mkdir -p "$tmp/credentials"
echo secret >"$tmp/credentials/mqtt-password"
CREDENTIALS_DIRECTORY=$tmp/credentials complains '--mqtt-queue takes' \
  --config "$tmp/mqtt.conf" --mqtt-queue 0
CREDENTIALS_DIRECTORY='' complains 'cannot read the password file [^ ]*/mqtt-password:' \
  --config "$tmp/mqtt.conf"

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

# Runs the program from PROGRAM (a path below the prefix) with a fresh home, in the
# background, and waits for its settings file in FOLDER: start_program PROGRAM FOLDER [WRAPPER...]
home=$tmp/home
start_program() {
  local program=$1 folder=$2
  shift 2
  rm -rf "$home"
  mkdir -p "$home"
  "$@" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_RUNTIME_DIR HOME="$home" \
    QT_QPA_PLATFORM=offscreen "$program" >"$tmp/out.txt" 2>&1 &
  pid=$!
  settings=$folder/540comm.st
  for _ in $(seq 200); do
    [[ -s $settings ]] && break
    kill -0 "$pid" 2>/dev/null || fail "$program ended: $(cat "$tmp/out.txt")"
    sleep 0.05
  done
  [[ -s $settings ]] || fail "$program wrote no settings file at $settings"
  kill -0 "$pid" 2>/dev/null || fail "$program ended after writing the settings"
  # The defaults name files in the same folder: line 2 holds the log and parameter file,
  # the second padded to the next print zone.
  local line2 pattern
  line2=$(sed -n 2p "$settings" | tr -d '\r')
  pattern="^$folder/qsr540\\.csv, +$folder/qsr540\\.txt\$"
  [[ $line2 =~ $pattern ]] || fail "file-name line: $line2"
  [[ $(wc -l <"$settings") -eq 3 ]] || fail "settings file has $(wc -l <"$settings") lines"
  # It has no command-line options and no way to be asked to end: end it here.
  stop
}
listing() { (cd "$prefix" && find . -printf '%p %s %T@\n' | sort); }
per_user=$home/.local/share/qsrlink

# Seen at the prefix the build was configured with, in a mount namespace of its own, the
# program is an installed one, as whoever runs the test: for root (and for this user, who
# owns the temporary prefix) its folder is writable, yet its files go to the per-user folder
# and nothing is written under the prefix. The install is laid over the deepest folder of
# the configured prefix that exists; never over / or /usr, which the program itself needs.
over=
for sub in /libexec/qsrlink /libexec ''; do
  if [[ -d $configured$sub ]]; then
    over=$configured$sub
    break
  fi
done
as_installed=(unshare --mount --map-root-user sh -c \
  'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh "$prefix${over#"$configured"}" "$over")
if [[ -z $over || $over == / || $over == /usr ]]; then
  echo "SKIP: not laid over the configured prefix $configured"
elif ! "${as_installed[@]}" true 2>/dev/null; then
  echo "SKIP: no mount namespace here to lay the install over $configured"
else
  before=$(listing)
  start_program "$configured/libexec/qsrlink/qsrlink" "$per_user" "${as_installed[@]}"
  after=$(listing)
  [[ $before == "$after" ]] ||
    fail "written under the prefix: $(diff <(echo "$before") <(echo "$after"))"
fi

# Installed into another prefix, it is a copy like any other and keeps its files beside
# itself, also when started through its bin/ link.
start_program "$prefix/bin/qsrlink" "$program_dir"
[[ ! -e $per_user ]] || fail "a copy wrote into the per-user folder"
# X11 docks match a window to its desktop entry by the window's class: the entry's
# StartupWMClass is the class the running Main window has on a virtual screen.
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 800x600x24 3>"$tmp/display" \
    >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -s $tmp/display ]] && break; sleep 0.05; done
  [[ -s $tmp/display ]] || fail "Xvfb did not start"
  DISPLAY=:$(head -1 "$tmp/display")
  export DISPLAY
  HOME=$home QT_QPA_PLATFORM=xcb "$prefix/bin/qsrlink" >"$tmp/out.txt" 2>&1 &
  pid=$!
  class=
  for _ in $(seq 200); do
    # 0x200006 "QSRLINK Ver1.01": ("qsrlink" "qsrlink")  313x208+234+327  +234+327
    class=$(xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "QSRLINK Ver[^"]*": ("[^"]*" "\([^"]*\)").*/\1/p')
    [[ -n $class ]] && break
    sleep 0.05
  done
  stop
  entry=$(sed -n 's/^StartupWMClass=//p' "$desktop")
  [[ -n $class ]] || fail "no Main window on the virtual screen: $(cat "$tmp/out.txt")"
  [[ $class == "$entry" ]] || fail "the window's class is $class, the entry's StartupWMClass $entry"
fi
echo "PASS: installed into $prefix; settings in the per-user folder at $configured, beside the program elsewhere"
