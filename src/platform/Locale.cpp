#include "Locale.h"

#include <langinfo.h>
#include <locale.h>

namespace Platform {

namespace {

NumberSeparators ReadFromLocale() {
    NumberSeparators result{",", "."};
    // A private locale object: switching the process locale would change
    // how every printf in the program writes numbers.
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return result;
    const char* thousands = nl_langinfo_l(THOUSEP, loc);
    const char* decimal = nl_langinfo_l(RADIXCHAR, loc);
    if (decimal && *decimal)
        result.decimal = decimal;
    // The C locale has no grouping character; keep "," then, as the
    // program always grouped its byte counts.
    if (thousands && *thousands)
        result.thousands = thousands;
    freelocale(loc);
    return result;
}

NumberSeparators& Current() {
    static NumberSeparators separators = ReadFromLocale();
    return separators;
}

} // namespace

const NumberSeparators& LocaleSeparators() {
    return Current();
}

void SetLocaleSeparators(const NumberSeparators& separators) {
    Current() = separators;
}

} // namespace Platform
