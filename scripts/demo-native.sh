#!/usr/bin/env bash
# The native demo (scripts/demo.sh --native): the tray's Java launcher with the build machine's
# OpenJDK and the reference client, in one process; prints the status texts, balloons, port
# reports and Java log lines as they arrive, then stops the client and waits for the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
echo "== building the native programs (corvdemo, the bridge library, the reference client jar)"
cmake --preset native >/dev/null
cmake --build --preset native --target corvdemo jnibridge corvane_client >/dev/null

seconds=${CORV_DEMO_SECONDS:-8}
echo "== native: the launcher with the real OpenJDK and the reference client, for ${seconds} s"
echo "   (Home is build/native/bin: libjnibridge.so and lib/corvane.client.jar;"
echo "    the client is handed the loopback address 127.0.0.1 and sends nothing;"
echo "    lines starting with ---> are the bridge library's own trace of each native call)"
echo
# The machine handles SIGSEGV itself: the sanitizers in this build must leave it alone.
ASAN_OPTIONS=handle_segv=0:detect_leaks=0 LD_LIBRARY_PATH=build/native/bin \
    build/native/bin/corvdemo --seconds "$seconds" --home "$(pwd)/build/native/bin"
