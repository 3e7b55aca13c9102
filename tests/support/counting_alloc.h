// The library's allocator for the decoder's tests and the fuzz targets (their
// JPEG_ALLOCATOR property names it in place of jpeg/alloc.cpp): it logs each
// block, and FreeBlock aborts the program when the bytes behind a block were
// written. Under AddressSanitizer a block is exactly the bytes asked for and
// the sanitizer reports such writes.
#pragma once

#include <cstdint>

namespace testsupport {

struct AllocationLog {
    std::uint32_t blocks = 0;     // AllocBlock calls that returned a block
    std::uint32_t lastSize = 0;   // bytes asked for by the latest of them
    void* lastBlock = nullptr;
    std::uint32_t live = 0;       // blocks not yet freed
};

extern AllocationLog allocationLog;

// AllocBlock refuses requests of more bytes than this.
extern std::uint32_t allocationLimit;

}  // namespace testsupport
