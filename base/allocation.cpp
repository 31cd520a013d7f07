// The memory rule: a request for memory that cannot be met is never reported to
// the caller; the program stops with the size it asked for. These replace the
// global allocation functions of the whole program.
#include <cstdlib>
#include <new>

#include "base/fatal.h"

namespace {

void* allocateOrStop(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    vantrelo::fatalOutOfMemory(size);
}

void* allocateAlignedOrStop(std::size_t size, std::align_val_t align) {
    const auto a = static_cast<std::size_t>(align);
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size + a - 1) / a * a;
    if (rounded >= size) {
        if (void* p = std::aligned_alloc(a, rounded ? rounded : a)) return p;
    }
    vantrelo::fatalOutOfMemory(size);
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrStop(size); }
void* operator new[](std::size_t size) { return allocateOrStop(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateOrStop(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateOrStop(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAlignedOrStop(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAlignedOrStop(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedOrStop(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedOrStop(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
