#!/usr/bin/env bash
# scripts/demo --vnc shows the program without a password, so to this machine only: the VNC
# server it starts, started as the demo starts it, listens on 127.0.0.1 and on no other
# address, and is a VNC server there. The X display behind it takes no TCP connections.
# Usage: demo-vnc-test.sh SOURCE_DIR
set -euo pipefail
src=$1
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-vnc.XXXXXX")
vnc_pid=
cleanup() {
  if [[ -n $vnc_pid ]]; then
    kill "$vnc_pid" 2>/dev/null || true
    wait "$vnc_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A port that nothing listens on, on any address.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("", 0)); print(s.getsockname()[1])')
# shellcheck source=/dev/null
source "$src/scripts/demo"
vnc_display "$port" "$tmp/vnc.log" || fail "no VNC server"
listeners() { ss -Hltn "sport = :$1" | awk '{ print $4 }'; }
where=$(listeners "$port")
[[ $where == "127.0.0.1:$port" ]] || fail "the VNC server listens on: $where"
exec 3<>"/dev/tcp/127.0.0.1/$port"
banner=
read -r -t 5 banner <&3 || true
exec 3<&-
[[ $banner == "RFB 003."* ]] || fail "127.0.0.1:$port answers '$banner', not as a VNC server"
[[ $QT_QPA_PLATFORM == xcb && $DISPLAY =~ ^:[0-9]+$ ]] ||
  fail "the program would not be shown there: QT_QPA_PLATFORM=$QT_QPA_PLATFORM DISPLAY=$DISPLAY"
x_port=$((6000 + ${DISPLAY#:}))
[[ -z $(listeners "$x_port") ]] || fail "the X display $DISPLAY listens on TCP: $(listeners "$x_port")"
echo "PASS: the demo's VNC server on port $port listens on 127.0.0.1 only"
