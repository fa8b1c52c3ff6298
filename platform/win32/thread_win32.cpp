#include <windows.h>
// After windows.h:
#include <process.h>

#include "../src/native_thread.h"

namespace corv {
namespace detail {

namespace {

struct StartArgs {
    NativeThread::Entry entry;
    void* arg;
};

unsigned __stdcall Trampoline(void* p) {
    StartArgs args = *static_cast<StartArgs*>(p);
    delete static_cast<StartArgs*>(p);
    args.entry(args.arg);
    return 0;
}

}  // namespace

bool NativeThread::Start(Entry entry, void* arg) {
    if (started_) return false;
    auto* args = new StartArgs{entry, arg};
    // _beginthreadex, not CreateThread: the C runtime sets up its per-thread data.
    uintptr_t h = _beginthreadex(nullptr, 0, &Trampoline, args, 0, nullptr);
    if (!h) {
        delete args;
        return false;
    }
    handle_ = h;
    started_ = true;
    return true;
}

void NativeThread::Join() {
    if (!started_) return;
    HANDLE h = reinterpret_cast<HANDLE>(handle_);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    handle_ = 0;
    started_ = false;
}

void NativeThread::Detach() {
    if (!started_) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = 0;
    started_ = false;
}

bool NativeThread::Terminate() {
    if (!started_) return false;
    TerminateThread(reinterpret_cast<HANDLE>(handle_), 1);
    Detach();
    return true;
}

}  // namespace detail
}  // namespace corv
