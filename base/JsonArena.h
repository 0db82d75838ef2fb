// A bump allocator for short-lived jansson values on one thread.
//
// jansson allocates every value, key and string separately; under the system heap that is
// most of the cost of parsing a large file. While an arena is active on a thread, jansson's
// allocations on that thread come from one reused block, and releasing them costs nothing.
// Values made inside an arena must be released before the arena is reset or ends: nothing
// parsed under it may be kept. Other threads, and allocations that do not fit, use the
// C heap as usual, so the allocator can be installed at any time.
#pragma once

#include <cstddef>

namespace winhush {

class ScopedJsonArena {
public:
    explicit ScopedJsonArena(size_t blockBytes = 256 * 1024);
    ~ScopedJsonArena();
    ScopedJsonArena(const ScopedJsonArena&) = delete;
    ScopedJsonArena& operator=(const ScopedJsonArena&) = delete;

    // Starts again at the beginning of the block; every value made since must be released.
    void Reset() { used_ = 0; }

    // Internal to the allocator functions.
    void* Allocate(size_t bytes);
    ScopedJsonArena* previous() const { return previous_; }
    bool Owns(const void* pointer) const {
        return block_ && static_cast<const char*>(pointer) >= block_ && static_cast<const char*>(pointer) < block_ + size_;
    }

private:
    char* block_ = nullptr;
    size_t size_ = 0;
    size_t used_ = 0;
    ScopedJsonArena* previous_ = nullptr;
};

}  // namespace winhush
