#include "tests/hardening/allocation/counting_allocator.h"

#include <execinfo.h>
#include <stdio.h>
#include <stdlib.h>

#include <new>

#include "platform/control_linux.h"
#include "testhost/testhost.h"

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *pointer, size_t size);
}

namespace allocations
{
namespace
{

enum { kKeptSites = 4, kFrames = 12 };

bool armed;
bool noting; // backtrace may allocate the first time it runs
long counted;
void *sites[kKeptSites][kFrames];
int siteFrames[kKeptSites];

void Note()
{
    if (!armed || noting || testhost::HostCallDepth() != 0 || platform::PlatformCallDepth() != 0)
        return;
    if (counted < kKeptSites) {
        noting = true;
        siteFrames[counted] = backtrace(sites[counted], kFrames);
        noting = false;
    }
    counted++;
}

} // namespace

void Arm()
{
    counted = 0;
    armed = true;
}

long Disarm()
{
    armed = false;
    return counted;
}

std::string Sites()
{
    std::string text;
    for (long i = 0; i < counted && i < kKeptSites; i++) {
        text += "allocation " + std::to_string(i + 1) + ":";
        for (int f = 0; f < siteFrames[i]; f++) {
            char address[32];
            snprintf(address, sizeof address, " %p", sites[i][f]);
            text += address;
        }
        text += "\n";
    }
    return text;
}

} // namespace allocations

extern "C" void *__wrap_malloc(size_t size)
{
    allocations::Note();
    return __real_malloc(size);
}

extern "C" void *__wrap_calloc(size_t count, size_t size)
{
    allocations::Note();
    return __real_calloc(count, size);
}

extern "C" void *__wrap_realloc(void *pointer, size_t size)
{
    allocations::Note();
    return __real_realloc(pointer, size);
}

static void *Allocate(size_t size)
{
    allocations::Note();
    void *pointer = __real_malloc(size ? size : 1);
    if (!pointer)
        throw std::bad_alloc();
    return pointer;
}

static void *AllocateOrNull(size_t size) noexcept
{
    allocations::Note();
    return __real_malloc(size ? size : 1);
}

void *operator new(size_t size)
{
    return Allocate(size);
}
void *operator new[](size_t size)
{
    return Allocate(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    return AllocateOrNull(size);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept
{
    return AllocateOrNull(size);
}
void operator delete(void *pointer) noexcept
{
    free(pointer);
}
void operator delete[](void *pointer) noexcept
{
    free(pointer);
}
void operator delete(void *pointer, size_t) noexcept
{
    free(pointer);
}
void operator delete[](void *pointer, size_t) noexcept
{
    free(pointer);
}
void operator delete(void *pointer, const std::nothrow_t &) noexcept
{
    free(pointer);
}
void operator delete[](void *pointer, const std::nothrow_t &) noexcept
{
    free(pointer);
}
