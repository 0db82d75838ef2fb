#include "base/Wow64.h"

#include <windows.h>

namespace winhush {

namespace {
using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

template <typename Fn>
Fn Kernel32Function(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel, name))) : nullptr;
}
}  // namespace

ScopedWow64RedirectionOff::ScopedWow64RedirectionOff() {
    static const DisableFn disable = Kernel32Function<DisableFn>("Wow64DisableWow64FsRedirection");
    if (disable && disable(&oldValue_)) active_ = true;
}

ScopedWow64RedirectionOff::~ScopedWow64RedirectionOff() {
    static const RevertFn revert = Kernel32Function<RevertFn>("Wow64RevertWow64FsRedirection");
    if (active_ && revert) revert(oldValue_);
}

}  // namespace winhush
