# shellcheck shell=bash
# Configuring and building a tree of the project; sourced by the commands that build what they run
# (scripts/test, scripts/demo, scripts/benchmark, scripts/docs-pictures, scripts/package).

# configure_tree SOURCE-DIR BUILD-DIR ARCH [CMAKE-OPTION...]
# Configures BUILD-DIR from SOURCE-DIR unless it has been: Ninja, Release, the sources' cmake/toolchain-ARCH.cmake,
# then the CMAKE-OPTIONs. Configuring writes the generated header NorvixVersion.h and compile_commands.json.
configure_tree() {
    local source=$1 build=$2 arch=$3
    shift 3
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchain-$arch.cmake" "$@" >/dev/null
    fi
}

# build_tree [--source DIR] BUILD-DIR ARCH [TARGET...] [-- CMAKE-OPTION...]
# Configures BUILD-DIR as configure_tree does, then builds the TARGETs and prints Ninja's last line; without a
# TARGET builds everything and prints all Ninja says. The sources are those of the current folder unless --source
# names others.
build_tree() {
    local source=. build arch targets=() options=()
    if [ "$1" = --source ]; then
        source=$2
        shift 2
    fi
    build=$1 arch=$2
    shift 2
    while [ $# -gt 0 ]; do
        if [ "$1" = -- ]; then
            shift
            options=("$@")
            break
        fi
        targets+=("$1")
        shift
    done
    configure_tree "$source" "$build" "$arch" "${options[@]}"
    if [ ${#targets[@]} -eq 0 ]; then
        cmake --build "$build"
    else
        cmake --build "$build" --target "${targets[@]}" | tail -n 1
    fi
}
