#!/usr/bin/env bash
# End-to-end smoke test of the built program under a private Xvfb, once for each
# provider: search with the keyboard, click a row, copy a coordinate and read the X
# clipboard, compute a distance and open the route, end with Alt+B.
# Usage: e2e_smoke.sh GEODATEN FAKE_SERVICE FIXTURES OUTDIR
set -euo pipefail
program=$1 service=$2 fixtures=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$out" && mkdir -p "$out/tmp"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT
fail() { echo "e2e: FAILED: $*"; import -display "${DISPLAY:-}" -window root "$out/failure.png" 2>/dev/null || true; exit 1; }

# The command line is answered without a display: help and version on standard output, a
# wrong option refused with 2.
bare() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$program" "$@"; }
[[ "$(bare --help)" == "Aufruf: geodaten "*$'\nMehr: man geodaten' ]] || fail "--help"
[[ "$(bare --version)" =~ ^geodaten\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version"
status=0; bare --gibtsnicht 2>"$out/usage.log" || status=$?
[ $status = 2 ] && grep -q "unbekannte Option: --gibtsnicht" "$out/usage.log" || fail "unknown option gave $status"

# A display of our own; Xvfb names its number once it is ready.
exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$out/display")"

"$service" --port 0 --dir "$fixtures" >"$out/requests.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$out/requests.log" ] && break; sleep 0.1; done
base="http://127.0.0.1:$(head -1 "$out/requests.log")"

export TEMP="$out/tmp" BROWSER="$here/record_browser.sh" GEODATEN_BROWSER_LOG="$out/opened.log"
export XDG_CACHE_HOME="$out/cache" XDG_RUNTIME_DIR="$out/tmp" # the kept answers, the turns
export LANG=de_AT.UTF-8 no_proxy=127.0.0.1 GEODATEN_PACE_MS=0
unset LC_ALL LC_NUMERIC QT_QPA_PLATFORM XDG_CURRENT_DESKTOP WAYLAND_DISPLAY GEODATEN_PROVIDER GEODATEN_API_KEY

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
seen() { # a text in a file, or the clipboard's whole text
    if [ "$1" = clipboard ]; then [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$2" ]
    else grep -qF "$2" "$1" 2>/dev/null; fi
}
# Does a step and waits up to 5 s for its mark; does it again, up to four times in all,
# where a window under load had not yet taken the input. Usage: step WHAT FILE TEXT COMMAND...
step() {
    local what=$1 file=$2 text=$3
    shift 3
    for _ in 1 2 3 4; do
        "$@"
        for _ in $(seq 50); do seen "$file" "$text" && return 0; sleep 0.1; done
    done
    fail "$what"
}
search() { # the address box, the Enter key
    click 200 69
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 10 "9220 Velden AT"
    xdotool key Return
}
copy() { click 300 118; click 264 405; } # the first row, "C" beside the longitude
distance() { click 150 16; click 618 80; } # "Entfernung", "Berechnen"

# provider, title word, search request, clipboard, route request, route link
smoke() {
    "$program" >"$out/$1.log" 2>&1 &
    local app=$!
    pids+=($app)
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "mit $2 ermitteln" | head -1)
    [ -n "$window" ] || fail "$1: no window"
    step "$1: no geocoding request" "$out/requests.log" "$3" search
    step "$1: clipboard never held $4" clipboard "$4" copy
    import -window root "$out/$1-coordinates.png"
    step "$1: no distance request" "$out/requests.log" "$5" distance
    step "$1: route not opened" "$out/opened.log" "$base$6" click 80 402 # "Route anzeigen"
    import -window root "$out/$1-distance.png"
    xdotool key --window "$window" alt+b # ends the program without a question
    for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
    ! kill -0 "$app" 2>/dev/null || fail "$1: still running after Alt+B"
}

GEODATEN_SERVICE_URL=$base GEODATEN_MAP_URL=$base smoke google Google \
    "address=9220+Velden+AT&sensor=false" "13,8558" \
    "directions/xml?origin=9220+Velden+AT&destination=9500+Villach+AT" \
    "/maps?saddr=9220+Velden+AT&daddr=9500+Villach+AT"
GEODATEN_NOMINATIM_URL=$base GEODATEN_OSRM_URL=$base GEODATEN_OSM_URL=$base smoke osm OpenStreetMap \
    "/search?q=9220+Velden+AT&format=xml" "13,955421" \
    "/route/v1/driving/13.9554210,46.6124980;13.8558200,46.6103300" \
    "/directions?engine=fossgis_osrm_car&route=46.6124980,13.9554210;46.6103300,13.8558200"
echo "e2e: passed for both providers (screenshots in $out)"
