#include "failing_alloc.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

namespace {

using malloc_fn = void *(*)(size_t);
using calloc_fn = void *(*)(size_t, size_t);
using realloc_fn = void *(*)(void *, size_t);
using free_fn = void (*)(void *);

malloc_fn real_malloc;
calloc_fn real_calloc;
realloc_fn real_realloc;
free_fn real_free;

// dlsym itself may allocate before the real functions are known.
alignas(16) unsigned char bootstrap[8192];
size_t bootstrap_used;
bool resolving;

bool in_bootstrap(void *p)
{
    auto *c = static_cast<unsigned char *>(p);
    return c >= bootstrap && c < bootstrap + sizeof bootstrap;
}

void *bootstrap_alloc(size_t n)
{
    n = (n + 15) & ~size_t(15);
    if (bootstrap_used + n > sizeof bootstrap)
        return nullptr;
    void *p = bootstrap + bootstrap_used;
    bootstrap_used += n;
    return p;
}

void resolve()
{
    if (real_malloc || resolving)
        return;
    resolving = true;
    real_calloc = reinterpret_cast<calloc_fn>(dlsym(RTLD_NEXT, "calloc"));
    real_realloc = reinterpret_cast<realloc_fn>(dlsym(RTLD_NEXT, "realloc"));
    real_free = reinterpret_cast<free_fn>(dlsym(RTLD_NEXT, "free"));
    real_malloc = reinterpret_cast<malloc_fn>(dlsym(RTLD_NEXT, "malloc"));
    resolving = false;
}

// Live blocks of the armed period, in an open-addressing table that needs no
// allocation of its own.
constexpr size_t slots = size_t(1) << 20;
void *table[slots];
void *const tombstone = reinterpret_cast<void *>(uintptr_t(1));

size_t slot_of(void *p) { return (reinterpret_cast<uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15ull >> 44; }

bool armed;
long fail_at;
long count;
long live_blocks;
bool did_fail;

void track(void *p)
{
    for (size_t i = slot_of(p);; i = (i + 1) & (slots - 1))
        if (table[i] == nullptr || table[i] == tombstone) {
            table[i] = p;
            live_blocks++;
            return;
        }
}

void untrack(void *p)
{
    if (live_blocks == 0)
        return;
    for (size_t i = slot_of(p); table[i] != nullptr; i = (i + 1) & (slots - 1))
        if (table[i] == p) {
            table[i] = tombstone;
            live_blocks--;
            return;
        }
}

// Counts one allocation; false when it is the one that must fail.
bool allow()
{
    if (!armed)
        return true;
    count++;
    if (count == fail_at) {
        did_fail = true;
        return false;
    }
    return true;
}

} // namespace

extern "C" void *malloc(size_t n)
{
    resolve();
    if (!real_malloc)
        return bootstrap_alloc(n);
    if (!allow()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *p = real_malloc(n);
    if (p && armed)
        track(p);
    return p;
}

extern "C" void *calloc(size_t n, size_t size)
{
    resolve();
    if (!real_calloc) {
        if (size && n > SIZE_MAX / size)
            return nullptr;
        void *p = bootstrap_alloc(n * size);
        if (p)
            memset(p, 0, n * size);
        return p;
    }
    if (!allow()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *p = real_calloc(n, size);
    if (p && armed)
        track(p);
    return p;
}

extern "C" void *realloc(void *old, size_t n)
{
    resolve();
    if (old && in_bootstrap(old)) {
        void *p = malloc(n);
        if (p)
            memcpy(p, old, n); // bootstrap blocks are few and small
        return p;
    }
    if (!allow()) {
        errno = ENOMEM;
        return nullptr;
    }
    void *p = real_realloc(old, n);
    if (p || n == 0) {
        if (old)
            untrack(old);
        if (p && armed)
            track(p);
    }
    return p;
}

extern "C" void free(void *p)
{
    if (!p || in_bootstrap(p))
        return;
    untrack(p);
    real_free(p);
}

// C++ allocations go through the same counting, also in the sanitizer build,
// whose runtime would otherwise serve operator new itself.
void *operator new(size_t n)
{
    if (void *p = malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) { return operator new(n); }
void *operator new(size_t n, const std::nothrow_t &) noexcept { return malloc(n ? n : 1); }
void *operator new[](size_t n, const std::nothrow_t &) noexcept { return malloc(n ? n : 1); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }

namespace failing_alloc {

void arm(long n)
{
    memset(table, 0, sizeof table);
    live_blocks = 0;
    count = 0;
    fail_at = n;
    did_fail = false;
    armed = true;
}

void disarm() { armed = false; }
long allocations() { return count; }
long live() { return live_blocks; }
bool failed() { return did_fail; }

} // namespace failing_alloc
