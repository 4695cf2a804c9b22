#!/usr/bin/env bash
# Sets up, builds and runs the project on a Debian machine.
#   tools/run.sh demo   build the library and run the demo
#   tools/run.sh test   build twice (plain, and with ASan+UBSan), run every
#                       test of both builds, and run each fuzz target briefly
# Missing build packages are installed with apt-get when run as root.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${ZRK_FUZZ_SECONDS:-15}

need_packages() {
    local missing=()
    command -v cmake >/dev/null || missing+=(cmake)
    command -v g++ >/dev/null || missing+=(g++)
    command -v make >/dev/null || missing+=(make)
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    [ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
    [ -f /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
    if [ "${1:-}" = test ]; then
        command -v clang++ >/dev/null || missing+=(clang)
        ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 \
            || missing+=(libclang-rt-dev)
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "missing packages: ${missing[*]} (run as root to install them)" >&2
            exit 1
        fi
        echo "installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

build() { # build dir, cmake options...
    local dir=$1; shift
    cmake -S "$top" -B "$top/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$top/$dir" -j "$jobs"
}

run_fuzzers() {
    local dir="$top/build-fuzz"
    CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -DZRK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$dir" -j "$jobs"
    for target in "$dir"/fuzz_*; do
        [ -x "$target" ] || continue
        local name corpus work
        name=$(basename "$target")
        corpus="$top/fuzz/corpus/${name#fuzz_}"
        work=$(mktemp -d)
        echo "fuzzing $name for ${fuzz_seconds}s"
        # Replay the kept corpus (crashers included) first, then explore.
        if [ -d "$corpus" ]; then "$target" -runs=0 "$corpus" >/dev/null 2>&1 || { "$target" -runs=0 "$corpus"; exit 1; }; fi
        local args=("$work")
        [ -d "$corpus" ] && args+=("$corpus")
        "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "${args[@]}" \
            > "$work.log" 2>&1 || { tail -50 "$work.log"; exit 1; }
        rm -rf "$work" "$work.log"
    done
}

# The copy walk: the simulated build of the library against the array
# simulator, one step per run of the example, the simulator's clock advanced
# between the steps.
run_copy_demo() {
    local demo=$1 bin="$top/build-demo" sock="$1/sim.sock"
    "$bin/sim/zrksim" --scenario "$top/examples/demo.scn" --socket "$sock" --lan-port 0 &
    sim_pid=$!
    trap 'kill "$sim_pid" 2>/dev/null' EXIT
    for _ in $(seq 50); do "$bin/sim/zrksimctl" --control "$sock.ctl" ping >/dev/null 2>&1 && break; sleep 0.1; done
    step() { echo "\$ copy_demo /dev/sdb $*"; ZRK_SIM_SOCKET="$sock" QRVNZRKC_PATH="$demo" \
        LD_LIBRARY_PATH="$bin/simlib" "$bin/examples/copy_demo" /dev/sdb "$@"; }
    clock() { echo "  (array clock +$1 s)"; "$bin/sim/zrksimctl" --control "$sock.ctl" advance "$1" >/dev/null; }
    echo "== copy sessions on the simulated array"
    step identify
    step vz-start 0 1; step vz-query 0 1
    clock 30; step vz-query 0 1
    clock 60; step vz-query 0 1
    step vz-suspend 0 1; clock 20; step vz-query 0 1
    step vz-resume 0 1; step vz-query 0 1
    clock 5; step vz-query 0 1
    step vz-stop 0 1
    step snap-start 0 2; clock 10; step snap-start 0 3; clock 10
    step snap-list 0
    step snap-stop 0 2; step snap-stop 0 3
    step snap-list 0 || echo "  (expected: no generation is left)"
    # The same walk out-of-band: the LAN interface management service of the
    # simulator on 127.0.0.1, the array reached by its address.
    local port
    port=$("$bin/sim/zrksimctl" --control "$sock.ctl" lanport)
    sed -i "s|^ssh_port_number=.*|ssh_port_number=$port|" "$demo/etc/zrkc.ini"
    lan() { echo "\$ lan_demo 192.0.2.10 $*"; QRVNZRKC_PATH="$demo" \
        LD_LIBRARY_PATH="$bin/simlib" "$bin/examples/lan_demo" 192.0.2.10 "$@"; }
    echo "== the same sessions over the LAN"
    lan login admin secret
    lan identify
    lan vz-start 0 1; lan sessions
    clock 90; lan sessions
    lan vz-suspend 0 1; lan sessions
    lan vz-resume 0 1; clock 5; lan sessions
    lan vz-stop 0 1
    lan snap-start 0 2; clock 10; lan snap-start 0 3; lan sessions
    lan snap-stop 0 2; lan snap-stop 0 3
    lan sdv-init 2; lan sdv-init 2 || echo "  (expected: the volume is still being initialised)"
    echo "== a session started in-band, seen and stopped out-of-band"
    step vz-start 0 1
    lan sessions
    lan vz-stop-id "$("$bin/sim/zrksimctl" --control "$sock.ctl" sessions | awk '$1=="session"{print $2; exit}')"
    step vz-query 0 1 || echo "  (expected: the session is gone)"
    # An older array without the page-based engine, driven through the
    # classic functions (32-bit blocks).
    classic() { echo "\$ classic_demo /dev/sdc $*"; ZRK_SIM_SOCKET="$sock" QRVNZRKC_PATH="$demo" \
        LD_LIBRARY_PATH="$bin/simlib" "$bin/examples/classic_demo" /dev/sdc "$@"; }
    echo "== copy sessions on an array without the page-based engine"
    classic identify
    classic vz-start 0 1; classic vz-query 0 1
    clock 60; classic vz-query 0 1
    classic vz-status
    classic vz-suspend 0 1; classic vz-query 0 1
    classic vz-resume 0 1; clock 5; classic vz-query 0 1
    classic vz-stop 0 1
    classic kzp-start 0 2; clock 10; classic kzp-query 0 2
    classic kzp-stop 0 2
    classic kzp-query 0 2 || echo "  (expected: the session is gone)"
    "$bin/sim/zrksimctl" --control "$sock.ctl" shutdown >/dev/null 2>&1 || true
    wait "$sim_pid" 2>/dev/null || true
    trap - EXIT
}

case "${1:-}" in
demo)
    need_packages demo
    build build-demo -DZRK_TESTS=OFF
    # Install into a private tree, record it the way the installer does, and
    # point the trace and the debug log into it.
    demo="$top/build-demo/root"
    rm -rf "$demo"
    cmake --install "$top/build-demo" --prefix "$demo" >/dev/null
    printf 'zrkc_optdir=%s\nzrkc_etcdir=%s/etc\n' "$demo" "$demo" > "$demo/bin/.zrkc_install.sys"
    sed -i "s|^path=.*|path=$demo/log|" "$demo/etc/velkapi_trcdef.ini"
    QRVNZRKC_PATH="$demo" WXAPI_LOG_FLAG=1F WXAPI_LOG_PATH="$demo/log" \
        LD_LIBRARY_PATH="$demo/lib" "$top/build-demo/examples/platform_demo" "$demo"
    run_copy_demo "$demo"
    ;;
test)
    need_packages test
    build build -DZRK_WERROR=ON -DZRK_BENCH=ON
    build build-asan -DZRK_WERROR=ON -DZRK_SANITIZE=ON
    run_fuzzers
    echo "== tests, AddressSanitizer + UndefinedBehaviorSanitizer build"
    (cd "$top/build-asan" && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest -j "$jobs" --output-on-failure)
    echo "== tests, plain build"
    (cd "$top/build" && ctest -j "$jobs" --output-on-failure)
    ;;
*)
    echo "usage: tools/run.sh demo|test" >&2
    exit 2
    ;;
esac
