#pragma once

// Blocks the library keeps for reuse are marked unusable under AddressSanitizer, so that
// a use after free still shows as a fault; elsewhere the marks cost nothing.
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define CARNELO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CARNELO_ASAN 1
#endif
#endif
#ifdef CARNELO_ASAN
#include <sanitizer/asan_interface.h>
#endif

inline void PoisonKeptBlock([[maybe_unused]] void* block, [[maybe_unused]] size_t size)
{
#ifdef CARNELO_ASAN
    ASAN_POISON_MEMORY_REGION(block, size);
#endif
}

inline void UnpoisonKeptBlock([[maybe_unused]] void* block, [[maybe_unused]] size_t size)
{
#ifdef CARNELO_ASAN
    ASAN_UNPOISON_MEMORY_REGION(block, size);
#endif
}
