#include "BlockFill.h"

#include "util/Checks.h"

#include <algorithm>
#include <cstring>

namespace Generator {

void FillRepeated(std::uint8_t* buffer, std::size_t length, const std::u16string& text) {
    FV_ASSERT(!text.empty(), "Fill text is empty!");
    if (text.size() == 1) {
        std::memset(buffer, static_cast<std::uint8_t>(text[0] & 0xFFu), length);
        return;
    }
    std::size_t filled = std::min(text.size(), length);
    for (std::size_t k = 0; k < filled; ++k)
        buffer[k] = static_cast<std::uint8_t>(text[k] & 0xFFu);
    // Doubling copies: what is filled so far is whole copies of the text
    // (or the end of the block), so copying it onward keeps the sequence.
    while (filled < length) {
        const std::size_t n = std::min(filled, length - filled);
        std::memcpy(buffer + filled, buffer, n);
        filled += n;
    }
}

} // namespace Generator
