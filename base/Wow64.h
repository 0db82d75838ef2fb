// Switches WOW64 file-system redirection off for the calling thread while in scope.
//
// The program is 64-bit, where redirection does not apply, but the suite's 32-bit builds
// share this code; the functions are looked up at run time so the same binary runs on
// systems that lack them.
#pragma once

namespace winhush {

class ScopedWow64RedirectionOff {
public:
    ScopedWow64RedirectionOff();
    ~ScopedWow64RedirectionOff();
    ScopedWow64RedirectionOff(const ScopedWow64RedirectionOff&) = delete;
    ScopedWow64RedirectionOff& operator=(const ScopedWow64RedirectionOff&) = delete;

    bool active() const { return active_; }

private:
    void* oldValue_ = nullptr;
    bool active_ = false;
};

}  // namespace winhush
