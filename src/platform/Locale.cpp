#include "Locale.h"

#include <langinfo.h>
#include <locale.h>

namespace Platform {

namespace {

NumberSeparators ReadFromLocale() {
    // A private locale object: switching the process locale would change
    // how every printf in the program writes numbers.
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return SeparatorsFrom(nullptr, nullptr);
    const NumberSeparators result =
        SeparatorsFrom(nl_langinfo_l(THOUSEP, loc), nl_langinfo_l(RADIXCHAR, loc));
    freelocale(loc);
    return result;
}

NumberSeparators& Current() {
    static NumberSeparators separators = ReadFromLocale();
    return separators;
}

} // namespace

NumberSeparators SeparatorsFrom(const char* thousands, const char* decimal) {
    const std::string decimalMark = decimal && *decimal ? decimal : ".";
    // A locale without a grouping character (C, pt_PT, bg_BG ...): keep
    // grouping as the program always did, with the mark that is not the
    // decimal one.
    if (thousands && *thousands)
        return {thousands, decimalMark};
    return {decimalMark == "," ? "." : ",", decimalMark};
}

const NumberSeparators& LocaleSeparators() {
    return Current();
}

void SetLocaleSeparators(const NumberSeparators& separators) {
    Current() = separators;
}

} // namespace Platform
