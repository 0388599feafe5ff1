#!/usr/bin/env bash
# End-to-end smoke test of the built program under a private Xvfb: search with the
# keyboard, click a row, copy a coordinate and read the X clipboard, compute a distance
# and open the route. Usage: e2e_smoke.sh GEODATEN FAKE_SERVICE FIXTURES OUTDIR
set -euo pipefail
program=$1 service=$2 fixtures=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" && mkdir -p "$out/tmp"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT
fail() { echo "e2e: FAILED: $*"; import -display "$DISPLAY" -window root "$out/failure.png" 2>/dev/null || true; exit 1; }

# A display of our own; Xvfb names its number once it is ready.
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$out/display")"

"$service" --port 0 --dir "$fixtures" >"$out/requests.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$out/requests.log" ] && break; sleep 0.1; done
port=$(head -1 "$out/requests.log")

export GEODATEN_SERVICE_URL="http://127.0.0.1:$port" GEODATEN_MAP_URL="http://127.0.0.1:$port"
export TEMP="$out/tmp" BROWSER="$here/record_browser.sh" GEODATEN_BROWSER_LOG="$out/opened.log"
export LANG=de_AT.UTF-8 no_proxy=127.0.0.1
unset LC_ALL LC_NUMERIC QT_QPA_PLATFORM XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
"$program" >"$out/geodaten.log" 2>&1 &
app=$!
pids+=($app)
window=$(timeout 20 xdotool search --sync --onlyvisible --name "GEO Daten zur Adresse" | head -1)
[ -n "$window" ] || fail "no window"
sleep 0.5

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
wait_for() { for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done; fail "$3"; }

# The address box, the Enter key, the rows.
click 200 69
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 10 "9220 Velden AT"
xdotool key Return
wait_for "$out/requests.log" "address=9220+Velden+AT&sensor=false" "no geocoding request"
sleep 0.5
click 300 118          # the first row
click 264 405          # "C" beside the longitude
clip=$(xclip -o -selection clipboard)
[ "$clip" = "13,8558" ] || fail "clipboard holds '$clip'"
import -window root "$out/coordinates.png"

# The distance view, "Berechnen", "Route anzeigen".
click 150 16
click 618 80
wait_for "$out/requests.log" "directions/xml?origin=9220+Velden+AT&destination=9500+Villach+AT" "no directions request"
sleep 0.5
import -window root "$out/distance.png"
click 80 402
wait_for "$out/opened.log" "/maps?saddr=9220+Velden+AT&daddr=9500+Villach+AT" "route not opened"

# Alt+B ends the program without a question.
xdotool key --window "$window" alt+b
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "still running after Alt+B"
echo "e2e: passed (screenshots in $out)"
