# shellcheck shell=bash disable=SC2154 # build is the sourcing command's
# Running the module and the stand-in programs of a build under Wine; sourced by scripts/demo,
# scripts/docs-pictures and scripts/benchmark, which set `build` to their build tree first.

# winpath PATH: the Linux path as Wine's Z: drive names it.
winpath() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

# register_module: registers the build's Norvix.dll in the build's prefix.
register_module() { "$build/wine-run" regsvr32 /s "$(winpath "$build/src/Core/Norvix.dll")"; }

# unregister_module: removes that registration again; quiet and never failing, for cleanups.
unregister_module() {
    "$build/wine-run" regsvr32 /s /u "$(winpath "$build/src/Core/Norvix.dll")" >/dev/null 2>&1 || true
}

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

# start_service [--pid-file FILE] LOG [OPTION...]: starts the build's NorvixService.exe in the background on a
# port it chooses (--port 0) with the OPTIONs, its output in LOG, and sets service_pid (also written to FILE at
# once, so that a cleanup finds a service that never listens). Once the service listens sets port; when it does
# not within 30 s says "<command>: the service did not start" and fails.
start_service() {
    local pid_file=""
    if [ "$1" = --pid-file ]; then
        pid_file=$2
        shift 2
    fi
    local log=$1
    shift
    "$build/wine-run" "$build/stand-ins/service/NorvixService.exe" --port 0 "$@" >"$log" 2>&1 &
    service_pid=$!
    [ -z "$pid_file" ] || echo "$service_pid" >"$pid_file"
    port=$(service_port "$log")
    if [ -z "$port" ]; then
        echo "${0##*/}: the service did not start" >&2
        return 1
    fi
}

# service_control PORT PATH: a GET of PATH at the service's control interface, without needing curl: bash's
# /dev/tcp. Waits up to 10 s for the answer, which it drops.
service_control() {
    exec 5<>"/dev/tcp/127.0.0.1/$1" || return 1
    printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$2" >&5
    timeout 10 cat <&5 >/dev/null || true
    exec 5<&-
}
