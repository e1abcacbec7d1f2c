#include "FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations of this thread until the one that fails; 0 while none is to fail.
thread_local std::size_t allocationsUntilFailure = 0;
thread_local bool allocationFailed = false;

}  // namespace

void* operator new(std::size_t size)
{
    if (allocationsUntilFailure != 0 && --allocationsUntilFailure == 0) {
        allocationFailed = true;
        throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace vandreth::test {

FailingAllocation::FailingAllocation(std::size_t count)
{
    allocationFailed = false;
    allocationsUntilFailure = count;
}

FailingAllocation::~FailingAllocation()
{
    allocationsUntilFailure = 0;
}

bool FailingAllocation::failed() const
{
    return allocationFailed;
}

}  // namespace vandreth::test
