// A failing allocator for the out-of-memory paths. The test executable that
// links failing_alloc.cpp replaces malloc, calloc, realloc and free for the
// whole process (the library and zlib included), and operator new and delete
// with them; while armed it counts the allocations, makes a chosen one fail,
// and tracks which blocks stay live.
#pragma once

#include <cstddef>

namespace failing_alloc {

// Starts counting; the fail_at-th allocation from now on fails (0: none).
void arm(long fail_at);
// Stops counting and failing.
void disarm();
// Allocations seen since arm().
long allocations();
// Blocks allocated since arm() and not released yet.
long live();
// Whether the last armed run made an allocation fail.
bool failed();

// Runs op with the 1st, 2nd, ... allocation failing until a run makes no
// allocation fail; calls check(failed, result) after each run. Returns the
// number of runs with a failure.
template <class Op, class Check> long each_failure(Op op, Check check)
{
    for (long n = 1;; n++) {
        arm(n);
        auto result = op();
        bool did_fail = failed();
        disarm();
        check(did_fail, result);
        if (!did_fail)
            return n - 1;
    }
}

} // namespace failing_alloc
