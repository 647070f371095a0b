#pragma once
// Memory for direct I/O: the system takes such transfers only from buffers
// aligned to the volume's sector size, and a page covers every sector size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

namespace Platform {

inline constexpr std::size_t kDirectAlignment = 4096;

struct FreeAligned {
    void operator()(std::uint8_t* block) const { std::free(block); }
};
using AlignedBlock = std::unique_ptr<std::uint8_t, FreeAligned>;

// size must be a multiple of kDirectAlignment.
inline AlignedBlock NewAlignedBlock(std::size_t size) {
    void* block = std::aligned_alloc(kDirectAlignment, size);
    if (!block)
        throw std::bad_alloc();
    return AlignedBlock(static_cast<std::uint8_t*>(block));
}

} // namespace Platform
