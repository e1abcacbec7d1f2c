#pragma once
// Running out of memory, on demand: the transport tests' program replaces the global operator
// new, which fails one allocation of the thread that asked for it. Every other allocation, and
// every allocation of other threads (the loopback server's), goes ahead as usual.

#include <cstddef>

namespace vandreth::test {

class FailingAllocation {
public:
    // The `count`th allocation that this thread makes from now on throws std::bad_alloc.
    explicit FailingAllocation(std::size_t count);
    // Disarms it, if it has not failed yet.
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // True once the allocation has failed.
    bool failed() const;
};

}  // namespace vandreth::test
