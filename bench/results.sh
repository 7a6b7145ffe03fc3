# Sourced by each benchmark: everything the benchmark prints also goes to a dated result
# file, bench/results/NAME[-quick]-YYYYMMDD-HHMMSS.txt, which starts with what the figures
# depend on (date, commit, cores, load). The docs quote these files; a figure changes by
# running the benchmark again.
# Usage: record_results NAME "$@"   (from the repository's top folder)
record_results() {
  local bench=$1 name=$1
  shift
  [[ " $* " == *" --quick "* ]] && name+=-quick
  mkdir -p bench/results
  local file
  file=bench/results/$name-$(date +%Y%m%d-%H%M%S).txt
  exec > >(tee "$file") 2>&1
  echo "benchmark: bench/$bench${*:+ $*}"
  echo "date:      $(date --iso-8601=seconds)"
  echo "commit:    $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet HEAD 2>/dev/null || echo ' (with uncommitted changes)')"
  echo "machine:   $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), $(uname -srm)"
  echo "result:    $file"
  echo
}
