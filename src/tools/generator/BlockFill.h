#pragma once
// Block contents of the generator's fill modes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Generator {

// Fills length bytes with the low 8 bits of text's characters, repeated
// from the first character and cut after length bytes. text must not be empty.
void FillRepeated(std::uint8_t* buffer, std::size_t length, const std::u16string& text);

} // namespace Generator
