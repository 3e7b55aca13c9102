// AllocBlock / FreeBlock over calloc, with an allocation log.
#include "tests/support/counting_alloc.h"

#include <cstdlib>

#include "jpeg/alloc.h"

namespace hostile {
AllocationLog allocationLog;
std::uint32_t allocationLimit = ~std::uint32_t{0};
}  // namespace hostile

void* AllocBlock(std::uint32_t size)
{
    if (size > hostile::allocationLimit)
        return nullptr;
    // A zero-byte block is still a block; calloc(0) may return null.
    void* block = std::calloc(size != 0 ? size : 1, 1);
    if (block != nullptr) {
        hostile::allocationLog.blocks++;
        hostile::allocationLog.lastSize = size;
        hostile::allocationLog.lastBlock = block;
        hostile::allocationLog.live++;
    }
    return block;
}

void FreeBlock(void* address)
{
    if (address == nullptr)
        return;
    hostile::allocationLog.live--;
    std::free(address);
}
