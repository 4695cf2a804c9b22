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
        command -v strace >/dev/null || missing+=(strace)
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

# The time each phase of the test run took, in seconds.
phase_start=$SECONDS
phase() { # name
    echo "== $1: $((SECONDS - phase_start)) s"
    phase_start=$SECONDS
}

build() { # build dir, cmake options...
    local dir=$1; shift
    cmake -S "$top" -B "$top/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$top/$dir" -j "$jobs"
}

# One fuzz target: the kept corpus (crashers included) replayed first, then
# fuzz_seconds of exploring. Its output is kept only when it fails.
fuzz_one() { # target
    local target=$1 name corpus work rc=0
    name=$(basename "$target")
    corpus="$top/fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    if [ -d "$corpus" ] && ! "$target" -runs=0 "$corpus" >"$work.log" 2>&1; then
        echo "== $name: the kept corpus fails"
        cat "$work.log"
        rm -rf "$work" "$work.log"
        return 1
    fi
    local args=("$work")
    [ -d "$corpus" ] && args+=("$corpus")
    "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "${args[@]}" \
        > "$work.log" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ]; then
        echo "== $name: fuzzing fails"
        tail -50 "$work.log"
    fi
    rm -rf "$work" "$work.log"
    return "$rc"
}

# Every fuzz target, as many at once as there are cores; each keeps its own
# time. The first failure's output is printed whole, and the run fails.
run_fuzzers() {
    local dir="$top/build-fuzz" failed=0 running=0 target
    CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -DZRK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$dir" -j "$jobs"
    phase "fuzz build"
    for target in "$dir"/fuzz_*; do
        [ -x "$target" ] || continue
        if [ "$running" -ge "$jobs" ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
        echo "fuzzing $(basename "$target") for ${fuzz_seconds}s"
        fuzz_one "$target" &
        running=$((running + 1))
    done
    while [ "$running" -gt 0 ]; do
        wait -n || failed=1
        running=$((running - 1))
    done
    [ "$failed" -eq 0 ] || exit 1
    phase "fuzzing"
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

# The command programs as an administrator runs them: a fresh install tree
# recorded with zrkcsetpath, the simulator's two arrays (A1 in-band through
# its disks, B1 over its LAN interface), the routes entered in the alias
# store, and zrkcvz through the life of a VZ session on each road and of an
# RVZ session between the two arrays.
run_programs_demo() {
    local bin="$top/build-demo" root="$top/build-demo/programs"
    local sock="$root/sim.sock"
    rm -rf "$root"
    cmake --install "$bin" --prefix "$root" >/dev/null
    "$bin/sim/zrksim" --scenario "$top/examples/programs.scn" --socket "$sock" --lan-port 0 &
    sim_pid=$!
    trap 'kill "$sim_pid" 2>/dev/null' EXIT
    for _ in $(seq 50); do "$bin/sim/zrksimctl" --control "$sock.ctl" ping >/dev/null 2>&1 && break; sleep 0.1; done
    # Every program of the walk runs against the simulated library.
    run() { ZRK_SIM_SOCKET="$sock" QRVNZRKC_PATH="$root" LD_LIBRARY_PATH="$bin/simlib" "$@"; }
    say() { local name=$1; shift; echo "\$ $name $*"; }
    admin() { # program in bin/, arguments; prints the command, its output and a failed exit code
        local name=$1 rc=0; shift
        say "$name" "$@"
        run "$root/bin/$name" "$@" 2>&1 || rc=$?
        [ "$rc" -eq 0 ] || echo "  (exit code $rc)"
    }
    clock() { echo "  (array clock +$1 s)"; "$bin/sim/zrksimctl" --control "$sock.ctl" advance "$1" >/dev/null; }
    echo "== the command programs: installation"
    admin zrkcsetpath -o "$root" -e "$root/etc" -l "$root/log"
    sed -n 's/^/  /p' "$root/bin/.zrkc_install.sys"
    sed -n 's/^path=/  path=/p' "$root/etc/velkapi_trcdef.ini"
    local port
    port=$("$bin/sim/zrksimctl" --control "$sock.ctl" lanport)
    sed -i "s|^ssh_port_number=.*|ssh_port_number=$port|" "$root/etc/zrkc.ini"
    echo "== the routes to the two arrays"
    say lan_demo 192.0.2.20 login admin secret; run "$bin/examples/lan_demo" 192.0.2.20 login admin secret
    admin zrkccopy routeset -n /dev/sdb
    admin zrkccopy iprouteset -pw secret 192.0.2.20 admin
    admin zrkccopy alias -l
    admin zrkccopy alias -m 0 arrayA
    admin zrkccopy alias -m 1 arrayB
    admin zrkccopy iplogin arrayB
    admin zrkccopy dest /dev/sdb
    admin zrkccopy alias -l -csv
    echo "== a VZ session in-band (A1: /dev/sdb to /dev/sdc)"
    admin zrkcvz start /dev/sdb /dev/sdc
    admin zrkcvz suspendstatus /dev/sdb /dev/sdc
    admin zrkccopy query /dev/sdb /dev/sdc
    admin zrkccopy query -s /dev/sdb /dev/sdc
    echo "  (expected: query -s exits with the state, 10 for Active and Copying)"
    admin zrkccopy lunstatus /dev/sdc
    clock 600
    admin zrkcvz suspend /dev/sdb /dev/sdc
    admin zrkcvz suspendstatus /dev/sdb /dev/sdc
    admin zrkcvz reverse /dev/sdb /dev/sdc
    admin zrkcvz resume -back /dev/sdb /dev/sdc
    clock 600
    admin zrkcvz suspend -back -ct 5 -iv 1 /dev/sdb /dev/sdc
    admin zrkcvz reverse -back /dev/sdb /dev/sdc
    admin zrkcvz resume /dev/sdb /dev/sdc
    admin zrkcvz stop /dev/sdb /dev/sdc
    echo "== a VZ session over the LAN (B1: volume 0 to volume 1)"
    admin zrkcvz start 0x0@arrayB 0x1@arrayB
    clock 600
    admin zrkcvz suspendstatus -csv 0x0@arrayB 0x1@arrayB
    admin zrkcvz suspend 0x0@arrayB 0x1@arrayB
    admin zrkcvz suspendstatus -csv 0x0@arrayB 0x1@arrayB
    admin zrkcvz resume 0x0@arrayB 0x1@arrayB
    admin zrkcvz stop 0x0@arrayB 0x1@arrayB
    echo "== an RVZ session from A1 (in-band) to B1 (over the LAN)"
    admin zrkcvz start -stack -mr 0x2@arrayA 0x2@arrayB
    admin zrkcvz suspendstatus 0x2@arrayA 0x2@arrayB
    clock 600
    admin zrkcvz suspend -f 0x2@arrayA 0x2@arrayB
    admin zrkcvz chmod -consistency -ar 0x2@arrayA 0x2@arrayB
    admin zrkcvz suspendstatus 0x2@arrayA 0x2@arrayB
    admin zrkcvz resume 0x2@arrayA 0x2@arrayB
    admin zrkcvz resume -sync 0x2@arrayA 0x2@arrayB
    echo "  (expected: a transfer mode only with -rcv)"
    admin zrkcvz stop -f 0x2@arrayA 0x2@arrayB
    echo "== a group file: a VZ and an RVZ pair at once"
    printf '/dev/sdb /dev/sdc\n0x2@arrayA 0x2@arrayB\n' > "$root/pairs.txt"
    admin zrkcvz start -stack -gf "$root/pairs.txt"
    admin zrkcvz suspendstatus -gf "$root/pairs.txt"
    admin zrkcvz start -sync -gf "$root/pairs.txt"
    echo "  (expected: the RVZ pair already runs in stack mode)"
    admin zrkcvz stop -f -gf "$root/pairs.txt"
    echo "== KZP and SnapKZP+ sessions, snap data volumes and the inquiry"
    admin zrkckzp start /dev/sdb /dev/sdc
    admin zrkckzp stop /dev/sdb /dev/sdc
    echo "  (expected: the stop of a KZP session is forced)"
    admin zrkckzp stop -f /dev/sdb /dev/sdc
    admin zrkcskzp sdvinfo 0x3@arrayA
    admin zrkcskzp start 0x0@arrayA 0x3@arrayA
    admin zrkcskzp sdvinfo -csv 0x3@arrayA
    admin zrkcskzp sdpinfo 0x0@arrayA
    admin zrkcskzp stop 0x0@arrayA 0x3@arrayA
    admin zrkcskzp start -e 0x0@arrayB
    admin zrkcskzp estimate 0x0@arrayB
    admin zrkcskzp stop -e 0x0@arrayB
    admin zrkcinq vol /dev/sdb
    admin zrkcinq device -csv 0x0@arrayB
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
    run_programs_demo
    ;;
test)
    need_packages test
    build build -DZRK_WERROR=ON -DZRK_BENCH=ON
    phase "plain build"
    build build-asan -DZRK_WERROR=ON -DZRK_SANITIZE=ON
    phase "sanitizer build"
    run_fuzzers
    test_jobs=$jobs
    echo "== tests, AddressSanitizer + UndefinedBehaviorSanitizer build"
    (cd "$top/build-asan" && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest -j "$test_jobs" --output-on-failure)
    phase "sanitizer tests"
    echo "== tests, plain build"
    (cd "$top/build" && ctest -j "$test_jobs" --output-on-failure)
    phase "plain tests"
    echo "== total: $SECONDS s"
    ;;
*)
    echo "usage: tools/run.sh demo|test" >&2
    exit 2
    ;;
esac
