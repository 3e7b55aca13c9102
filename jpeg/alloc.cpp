// AllocBlock / FreeBlock: the local heap on Windows, calloc elsewhere.
#include "jpeg/alloc.h"

#ifdef _WIN32
#include <windows.h>

void* AllocBlock(std::uint32_t size)
{
    HLOCAL block = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size);  // 0x40
    return block != nullptr ? LocalLock(block) : nullptr;
}

void FreeBlock(void* address)
{
    if (address != nullptr)
        LocalFree(static_cast<HLOCAL>(address));
}

#else
#include <cstdlib>

void* AllocBlock(std::uint32_t size)
{
    // calloc(0) may return null; a zero-byte block is still a block.
    return std::calloc(size != 0 ? size : 1, 1);
}

void FreeBlock(void* address)
{
    std::free(address);
}
#endif
