#!/usr/bin/env bash
# Runs the Java host's tests (stand-in and real OpenJDK) under ThreadSanitizer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${CORV_TSAN_DIR:-build/tsan}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORV_SANITIZE=OFF \
    -DCMAKE_C_FLAGS="-fsanitize=thread -g" -DCMAKE_CXX_FLAGS="-fsanitize=thread -g" \
    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$dir" -j2 --target tray_java_test tray_app_test real_jvm_test
ctest --test-dir "$dir" -R "tray_java_test|tray_app_test|real_jvm" --output-on-failure
