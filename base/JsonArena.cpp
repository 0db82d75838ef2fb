#include "base/JsonArena.h"

#include <jansson.h>

#include <cstdlib>
#include <mutex>

namespace winhush {

namespace {

thread_local ScopedJsonArena* t_arena = nullptr;

void* ArenaMalloc(size_t bytes) {
    if (ScopedJsonArena* arena = t_arena) {
        if (void* p = arena->Allocate(bytes)) return p;
    }
    return std::malloc(bytes);
}

void ArenaFree(void* pointer) {
    if (!pointer) return;
    // Only this thread's arena can own a pointer freed here: values never leave the thread
    // and the scope that parsed them.
    for (ScopedJsonArena* arena = t_arena; arena; arena = arena->previous()) {
        if (arena->Owns(pointer)) return;
    }
    std::free(pointer);
}

void InstallOnce() {
    static std::once_flag once;
    // Equivalent to jansson's own malloc/free on every thread without an arena, so values
    // made before the switch are released correctly after it.
    std::call_once(once, [] { json_set_alloc_funcs(ArenaMalloc, ArenaFree); });
}

}  // namespace

ScopedJsonArena::ScopedJsonArena(size_t blockBytes) {
    InstallOnce();
    block_ = static_cast<char*>(std::malloc(blockBytes));
    size_ = block_ ? blockBytes : 0;
    previous_ = t_arena;
    t_arena = this;
}

ScopedJsonArena::~ScopedJsonArena() {
    t_arena = previous_;
    std::free(block_);
}

void* ScopedJsonArena::Allocate(size_t bytes) {
    constexpr size_t kAlign = 16;
    size_t rounded = (bytes + kAlign - 1) & ~(kAlign - 1);
    if (rounded < bytes || rounded > size_ - used_) return nullptr;
    void* p = block_ + used_;
    used_ += rounded;
    return p;
}

}  // namespace winhush
