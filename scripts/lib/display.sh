# shellcheck shell=bash disable=SC2154 # build is the sourcing command's
# A virtual X display for the build's prefix, for what must be seen (screenshots); sourced by scripts/demo and
# scripts/docs-pictures, which set `build` to their build tree first. Headless is the prefix's normal state: the
# tests expect Wine's null graphics driver.

norvix_wine_prefix=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/wine-prefix

# start_display DISPLAY: starts Xvfb on DISPLAY, exports DISPLAY, sets xvfb_pid and waits up to 5 s for the
# display to answer.
start_display() {
    Xvfb "$1" -screen 0 1024x600x24 -wr -nolisten tcp >/dev/null 2>&1 &
    # shellcheck disable=SC2034 # for the caller
    xvfb_pid=$!
    export DISPLAY="$1"
    for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
}

# prefix_on_display: starts the build's prefix again on Wine's x11 driver.
prefix_on_display() {
    # The desktop process picks the driver when it starts: set it with no Wine process running.
    "$norvix_wine_prefix" "$build" stop
    NORVIX_WINE_GRAPHICS=x11 "$norvix_wine_prefix" "$build" start
    "$norvix_wine_prefix" "$build" stop
    NORVIX_WINE_GRAPHICS=x11 "$norvix_wine_prefix" "$build" start
}

# stop_display [XVFB-PID]: brings the prefix back to the null driver and stops it, then ends the display.
stop_display() {
    "$norvix_wine_prefix" "$build" stop
    NORVIX_WINE_GRAPHICS=null "$norvix_wine_prefix" "$build" start
    "$norvix_wine_prefix" "$build" stop
    [ -z "${1:-}" ] || kill "$1" 2>/dev/null || true
}
