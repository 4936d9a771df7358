#pragma once
// Every heap allocation of the test program, counted on the thread that sets
// `counting`. It replaces the program's allocation functions, so exactly one
// source file of a test program includes it.

#include <cstdlib>
#include <new>

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define BW_COUNT_MALLOC 1
extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
#endif

namespace {
thread_local bool counting = false;
thread_local long allocations = 0;

void* Allocate(size_t n)
{
    if (counting) ++allocations;
#ifdef BW_COUNT_MALLOC
    void* p = __libc_malloc(n ? n : 1);
#else
    void* p = malloc(n ? n : 1);
#endif
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
// The plug-ins make their instances with the nothrow form.
void* operator new(size_t n, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

#ifdef BW_COUNT_MALLOC
// The C allocator too (the sanitizers bring their own, so only in plain builds).
extern "C" {
void* malloc(size_t n)
{
    if (counting) ++allocations;
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size)
{
    if (counting) ++allocations;
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n)
{
    if (counting) ++allocations;
    return __libc_realloc(p, n);
}
}
#endif
