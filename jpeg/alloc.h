// The library's one allocator: zero-filled fixed blocks.
#pragma once

#include <cstdint>

// A zero-filled block of `size` bytes; null when the heap refuses.
void* AllocBlock(std::uint32_t size);

// Releases a block from AllocBlock; a null address does nothing.
void FreeBlock(void* address);
