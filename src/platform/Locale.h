#pragma once
#include <string>

namespace Platform {

// The user's number separators, read from the locale once, on first use.
// Each is UTF-8 text (a locale may use a narrow no-break space, say).
struct NumberSeparators {
    std::string thousands;
    std::string decimal;
};

const NumberSeparators& LocaleSeparators();
// The separators for what a locale reports (either may be empty or null).
NumberSeparators SeparatorsFrom(const char* thousands, const char* decimal);
// Replaces the separators, for tests and for a front end that knows better.
void SetLocaleSeparators(const NumberSeparators& separators);

} // namespace Platform
