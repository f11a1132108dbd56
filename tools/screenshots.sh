#!/usr/bin/env bash
# Takes a picture of each page of the settings window under Xvfb, into
# docs/screenshots/: the built program serves a demo data directory on the
# virtual printer, the pages are turned with Ctrl+PgDown and each picture is
# the window as the X server shows it. Needs xvfb, xdotool and imagemagick
# (./dev screenshots installs them) and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
dovevid=$PWD/build/src/app/dovevid
vprinter=$PWD/build/tools/vprinter/dovevid-vprinter
out=$PWD/docs/screenshots
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (xvfb, xdotool, imagemagick)" >&2; exit 1; }
done
[ -x "$dovevid" ] && [ -x "$vprinter" ] || { echo "screenshots: build first (./dev build)" >&2; exit 1; }

demo=$(mktemp -d /tmp/dovevid-shots.XXXXXX)
display=:$((200 + $$ % 500))
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$demo"' EXIT

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display DBUS_SESSION_BUS_ADDRESS=disabled:
"$vprinter" --link "$demo/ttyV0" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "$demo/ttyV0" ] && xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

"$dovevid" settings set cboComPort=1 ListPrinters=RS232_PRINTER 'txtHeader(0)=BAR ROMA' \
  'chkDW_Header(0)=1' 'chkDH_Header(0)=1' 'txtHeader(1)=Via Roma 1, 20100 Milano' \
  'txtHeader(2)=P.IVA 01234567890' 'txtFooter(0)=Grazie e arrivederci' 'chkDW_Footer(0)=1' \
  cboEndSpaces=3 --app-dir "$demo" --data-dir "$demo" >/dev/null
"$dovevid" --app-dir "$demo" --data-dir "$demo" --com 1="$demo/ttyV0" >"$demo/dovevid.log" 2>&1 &
pids+=($!)

window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name '^QNB DovEvid1 ' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { cat "$demo/dovevid.log" >&2; exit 1; }
sleep 3  # the first polls: identification dump, status texts
xdotool windowfocus --sync "$window"
mkdir -p "$out"
n=1
for page in header footer options logo printers words; do
  sleep 0.5
  import -window "$window" "$out/$n-$page.png"
  echo "$out/$n-$page.png"
  xdotool key ctrl+Next
  n=$((n + 1))
done
