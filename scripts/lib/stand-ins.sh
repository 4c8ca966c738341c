# shellcheck shell=bash
# Helpers for scripts that run the stand-in programs under Wine; sourced by scripts/demo,
# scripts/docs-pictures and scripts/benchmark.

# winpath PATH: the Linux path as Wine's Z: drive names it.
winpath() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

# service_port LOG: waits up to 30 s for NorvixService's "listening on 127.0.0.1:PORT" line in LOG and prints
# the port; prints nothing when the line did not come.
service_port() {
    local port=""
    for _ in $(seq 300); do
        port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$1" 2>/dev/null | head -n 1)
        [ -n "$port" ] && break
        sleep 0.1
    done
    printf '%s' "$port"
}
