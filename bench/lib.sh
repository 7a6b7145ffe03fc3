# Shell pieces the benchmarks that run loggers, simulators and a broker share. Sourced after
# the script has set bench_name and build; start_run makes tmp (the run's temporary folder,
# kept when a target failed), pids (the processes to end with the run) and failed. The
# functions that start programs read sim_bin and logger_bin.

needs_broker() {
  local tool
  for tool in mosquitto mosquitto_sub mosquitto_pub ss; do
    command -v "$tool" >/dev/null || {
      echo "bench/$bench_name: needs $tool (apt-get install mosquitto mosquitto-clients iproute2)" >&2
      exit 1
    }
  done
}
build_targets() {
  [[ -f $build/CMakeCache.txt ]] || cmake -S . -B "$build" >/dev/null
  cmake --build "$build" --target "$@" >/dev/null
}

start_run() {
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/qsrlink-bench-$bench_name.XXXXXX")
  # The loggers keep what waits for the broker in a state folder of this run's own, and
  # their claims and sockets in folders of its own too.
  export STATE_DIRECTORY=$tmp/state QSRLINK_LOCK_DIR=$tmp/lock XDG_RUNTIME_DIR=$tmp/run
  mkdir -p "$QSRLINK_LOCK_DIR" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  pids=()
  failed=0
  trap cleanup EXIT
  trap 'failed=1; exit 130' INT TERM
}
cleanup() {
  { exec 4>&-; } 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # Only our own: a bare wait would also wait for the tee of record_results, which ends
  # only with this script.
  ((${#pids[@]} == 0)) || wait "${pids[@]}" 2>/dev/null || true
  if ((failed)); then
    echo "bench/$bench_name: outputs, broker and simulator logs kept in $tmp"
  else
    rm -rf "$tmp"
  fi
}

die() {
  echo "bench/$bench_name: $*" >&2
  failed=1
  exit 1
}
now_us() { echo "${EPOCHREALTIME/./}"; }
# Sleeps until the wall clock reaches $1 microseconds, a second at most at a time so that a
# signal ends the run at once.
sleep_until_us() {
  local us
  while us=$(($1 - $(now_us))) && ((us > 0)); do
    ((us > 1000000)) && us=1000000
    sleep "$(printf '%d.%06d' $((us / 1000000)) $((us % 1000000)))"
  done
}
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }
verdict() { # condition, label
  if holds "$1"; then
    echo "PASS  $2"
  else
    echo "FAIL  $2"
    failed=1
  fi
}
# Waits up to $2 seconds for file $1 to hold a line matching the regular expression $3.
wait_for_line() {
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    grep -Eq "$3" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# ---- The broker -----------------------------------------------------------------------------
free_port() {
  local used p
  used=$(ss -Htan | awk '{ sub(/.*:/, "", $4); print $4 }' | sort -u)
  for _ in $(seq 100); do
    p=$((20000 + RANDOM % 40000))
    grep -qx "$p" <<<"$used" || {
      echo "$p"
      return
    }
  done
  die "no free port found"
}

# Starts a subscriber writing to $1 with the further arguments, and waits until it receives
# what mosquitto_pub sends to topic $2.
start_subscriber() {
  local out=$1 topic=$2
  shift 2
  mosquitto_sub -h 127.0.0.1 -p "$port" -q 1 "$@" >"$out" 2>"$out.err" &
  pids+=($!)
  for _ in $(seq 50); do
    mosquitto_pub -h 127.0.0.1 -p "$port" -q 1 -t "$topic" -m subscribed 2>/dev/null || true
    sleep 0.2
    grep -q subscribed "$out" && return 0
  done
  die "the subscriber received nothing: $(tail -3 "$out.err")"
}

# Starts a simulator on the link $1/tty; further arguments go to the simulator.
start_sim() {
  mkdir -p "$1"
  "$sim_bin" --link "$1/tty" --exit-with-parent "${@:2}" >"$1/sim.out" 2>"$1/sim.err" &
  pids+=($!)
  wait_for_line "$1/sim.out" 5 . || die "simulator did not start: $(cat "$1/sim.err")"
}

# Starts a logger on the simulator in folder $1 (outputs $1/logger.out and .err); further
# arguments go to the logger. Its process id lands in $logger_pid.
start_logger() {
  local dir=$1
  shift
  "$logger_bin" --device "$dir/tty" "$@" >"$dir/logger.out" 2>"$dir/logger.err" &
  logger_pid=$!
  pids+=("$logger_pid")
}

# Ends a logger as a service manager would (SIGTERM), up to 10 s; its exit status lands in
# $logger_rc. reap_logger waits for one already told.
stop_logger() {
  kill -TERM "$1" 2>/dev/null || true
  reap_logger "$1"
}
reap_logger() {
  logger_rc=0
  for _ in $(seq 100); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null && echo "bench/$bench_name: logger $1 still ran 10 s after SIGTERM" >&2
  wait "$1" || logger_rc=$?
}

cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
# One record a second: "records distinct gaps duplicates" of a CSV in the program's format.
csv_seconds() {
  awk -F'"' '
    {
      d = $2; t = $4
      s = mktime(substr(d, 1, 4) " " substr(d, 5, 2) " " substr(d, 7, 2) " " \
                 substr(t, 1, 2) " " substr(t, 3, 2) " " substr(t, 5, 2))
      if (!(s in seen)) distinct++
      else dups++
      if (NR > 1 && s != prev + 1 && s != prev) gaps++
      seen[s] = 1; prev = s
    }
    END { printf "%d %d %d %d\n", NR, distinct, gaps, dups }' "$1"
}
# "n min median p95 max" of the numbers on standard input.
stats() {
  sort -g | awk '
    { a[NR] = $1 }
    END {
      if (!NR) { print "0 - - - -"; exit }
      m = NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
      printf "%d %.3f %.3f %.3f %.3f\n", NR, a[1], m, a[int(NR * 0.95 + 0.999)], a[NR]
    }'
}


# Starts a broker of the run's own (mosquitto on 127.0.0.1, a free port, anonymous); its port
# lands in $port and its address in $broker.
start_broker() {
  local p
  mkdir -p "$tmp/broker"
  port=""
  for _ in $(seq 10); do
    p=$(free_port)
    printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$p" >"$tmp/broker/mosquitto.conf"
    mosquitto -c "$tmp/broker/mosquitto.conf" >"$tmp/broker/log" 2>&1 &
    broker_pid=$!
    if wait_for_line "$tmp/broker/log" 5 ' running$' && sleep 0.2 && kill -0 "$broker_pid" 2>/dev/null; then
      pids+=("$broker_pid")
      port=$p
      break
    fi
    kill "$broker_pid" 2>/dev/null || true
    wait "$broker_pid" 2>/dev/null || true # the port was taken meanwhile: another one
  done
  [[ -n $port ]] || die "mosquitto did not start: $(tail -3 "$tmp/broker/log")"
  broker=mqtt://127.0.0.1:$port
}

# "missing duplicated extra disorder" of the lines of file $2 (what arrived) against those
# of file $1 (what was sent): each sent line should arrive once, in order. The lines are
# times, which compare as text.
delivery() {
  local missing extra duplicated disorder
  missing=$(sort -u "$2" | comm -23 <(sort -u "$1") - | wc -l)
  extra=$(sort -u "$1" | comm -13 - <(sort -u "$2") | wc -l)
  duplicated=$(($(wc -l <"$2") - $(sort -u "$2" | wc -l)))
  # Out of order: a line that arrived after a later one.
  disorder=$(awk 'NR > 1 && $0 < prev { n++ } { if ($0 > prev) prev = $0 } END { print n + 0 }' "$2")
  echo "$missing $duplicated $extra $disorder"
}
# The first few of each fault delivery counts, to find them in the outputs.
delivery_detail() {
  echo "          missing: $(sort -u "$2" | comm -23 <(sort -u "$1") - | head -5 | tr '\n' ' ')"
  echo "          extra:   $(sort -u "$1" | comm -13 - <(sort -u "$2") | head -5 | tr '\n' ' ')"
  echo "          duplicated: $(sort "$2" | uniq -d | head -5 | tr '\n' ' ')"
}
