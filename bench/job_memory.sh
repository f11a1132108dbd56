#!/usr/bin/env bash
# Peak memory (/usr/bin/time -v) of the headless server taking one SL job per
# run, from an ordinary receipt to hostile data far beyond any receipt, with
# the virtual printer on a pty and the trace log on. Prints per job: the
# answer, the server's maximum resident set and the size of the trace log.
#
#   bench/job_memory.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
dovevid=$build/src/app/dovevid
vprinter=$build/tools/vprinter/dovevid-vprinter
work=$(mktemp -d /tmp/dovevid-memory.XXXXXX)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

"$vprinter" --link "$work/tty" --capture "$work/capture.bin" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$work/tty" ] && break; sleep 0.05; done
mkdir "$work/d"
"$dovevid" settings set cboComPort=1 ListPrinters=RS232_PRINTER txtTimerVal=100 \
  'chkOptions(11)=1' --app-dir "$work/d" --data-dir "$work/d" >/dev/null

# repeat LINE MEGABYTES: the line (with CR LF) over and over, that many MB.
repeat() { yes "$1" | sed 's/$/\r/' | head -c "$(($2 * 1024 * 1024))" || true; }

run() {  # name, then the job data on standard input
  local name=$1 d=$work/d
  cat > "$work/data"
  rm -f "$d"/ErrorLog_*.txt "$d"/SR_* "$d"/FINESCO.001
  /usr/bin/time -v -o "$work/time.txt" "$dovevid" --headless --app-dir "$d" --data-dir "$d" \
    --com 1="$work/tty" >/dev/null 2>&1 &
  local server=$!
  for _ in $(seq 200); do [ -e "$d/SR_MATR.001" ] && break; sleep 0.05; done
  cp "$work/data" "$d/SR_DATI.001"
  : > "$d/SR_START.001"
  local start=$SECONDS
  while [ -e "$d/SR_START.001" ] && ((SECONDS - start < 600)); do sleep 0.1; done
  local answer="no answer"
  if [ -e "$d/FINESCO.001" ]; then answer="printed"; elif [ -e "$d/SR_ERR.001" ]; then
    answer=$(head -c 40 "$d/SR_ERR.001"); fi
  # time(1) does not pass SIGTERM on: stop the server itself.
  kill -TERM $(ps --ppid "$server" -o pid=) 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  local rss trace
  rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time.txt")
  trace=$(cat "$d"/ErrorLog_*.txt 2>/dev/null | wc -c)
  printf '%-34s %-42s %8s KB  trace %10s bytes  %3ss\n' "$name" "$answer" "$rss" "$trace" \
    $((SECONDS - start))
}

printf '%-34s %-42s %11s\n' "job data" "answer" "peak RSS"
printf 'SALE,N1,P100,:ACQUA;\r\nCASH;\r\n' | run "a receipt"
repeat "SALE,N1,P100,:ACQUA MINERALE;" 1 | run "1 MB of sale lines (printed)"
repeat "SALE,N1,P100,:ACQUA MINERALE;" 15 | run "15 MB of sale lines"
{ printf 'SALE,N1,P100,:'; head -c $((15 * 1024 * 1024)) /dev/zero | tr '\0' 'A'; } |
  run "15 MB in one record"
head -c $((16 * 1024 * 1024)) /dev/urandom | run "16 MB of random bytes"
head -c $((100 * 1024 * 1024)) /dev/urandom | run "100 MB of random bytes"
repeat "SALE,N1,P100,:ACQUA MINERALE;" 100 | run "100 MB of sale lines"
