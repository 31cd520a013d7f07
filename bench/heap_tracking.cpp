// The benchmark program's own malloc family: glibc's allocator underneath, with
// a running count of the usable bytes handed out. Only the benchmarks link this.
#include "bench/heap_tracking.h"

#include <malloc.h>

#include <atomic>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};

void* counted(void* p) {
    if (p) {
        const std::size_t now = g_inUse.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
        std::size_t peak = g_peak.load();
        while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
        }
    }
    return p;
}
void uncount(void* p) {
    if (p) g_inUse.fetch_sub(malloc_usable_size(p));
}
}  // namespace

extern "C" {
void* malloc(std::size_t n) { return counted(__libc_malloc(n)); }
void* calloc(std::size_t n, std::size_t s) { return counted(__libc_calloc(n, s)); }
void* realloc(void* p, std::size_t n) {
    uncount(p);
    void* q = __libc_realloc(p, n);
    if (!q && p && n) {  // the old block is still there
        counted(p);
        return nullptr;
    }
    return counted(q);
}
void free(void* p) {
    uncount(p);
    __libc_free(p);
}
void* memalign(std::size_t a, std::size_t n) { return counted(__libc_memalign(a, n)); }
void* aligned_alloc(std::size_t a, std::size_t n) { return counted(__libc_memalign(a, n)); }
int posix_memalign(void** out, std::size_t a, std::size_t n) {
    void* p = __libc_memalign(a, n);
    if (!p) return 12;  // ENOMEM
    *out = counted(p);
    return 0;
}
}

namespace vantrelo::bench {
std::size_t heapInUse() { return g_inUse.load(); }
std::size_t heapPeak() { return g_peak.load(); }
void resetHeapPeak() { g_peak.store(g_inUse.load()); }
}  // namespace vantrelo::bench
