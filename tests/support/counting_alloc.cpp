// AllocBlock / FreeBlock over calloc, with an allocation log and guard bytes.
#include "tests/support/counting_alloc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jpeg/alloc.h"

namespace testsupport {
AllocationLog allocationLog;
std::uint32_t allocationLimit = ~std::uint32_t{0};
}  // namespace testsupport

namespace {

// Under AddressSanitizer a block is exactly the bytes asked for: it reports
// any access past them itself.
#if defined(__SANITIZE_ADDRESS__)
#define SPLASH_EXACT_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SPLASH_EXACT_BLOCKS 1
#endif
#endif

#ifdef SPLASH_EXACT_BLOCKS
constexpr std::size_t kHeader = 0;
constexpr std::size_t kGuard = 0;
#else
constexpr std::size_t kHeader = 16;  // the block's size, in front of it
constexpr std::size_t kGuard = 64;   // bytes behind it
#endif
constexpr std::uint8_t kGuardByte = 0xA5;

}  // namespace

void* AllocBlock(std::uint32_t size)
{
    if (size > testsupport::allocationLimit)
        return nullptr;
    // A zero-byte block is still a block; calloc(0) may return null.
    auto* raw = static_cast<std::uint8_t*>(std::calloc(kHeader + size + kGuard + (size == 0), 1));
    if (raw == nullptr)
        return nullptr;
    std::memcpy(raw, &size, kHeader != 0 ? sizeof size : 0);
    std::memset(raw + kHeader + size, kGuardByte, kGuard);
    testsupport::allocationLog.blocks++;
    testsupport::allocationLog.lastSize = size;
    testsupport::allocationLog.lastBlock = raw + kHeader;
    testsupport::allocationLog.live++;
    return raw + kHeader;
}

void FreeBlock(void* address)
{
    if (address == nullptr)
        return;
    testsupport::allocationLog.live--;
    auto* raw = static_cast<std::uint8_t*>(address) - kHeader;
    std::uint32_t size = 0;
    std::memcpy(&size, raw, kHeader != 0 ? sizeof size : 0);
    for (std::size_t i = 0; i < kGuard; ++i) {
        if (raw[kHeader + size + i] != kGuardByte) {
            std::fprintf(stderr, "a block of %u bytes was written %zu bytes past its end\n", size, i);
            std::abort();
        }
    }
    std::free(raw);
}
