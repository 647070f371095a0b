#include "cli/Arguments.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace Cli {

const char* const kSizeForms =
    "a number with B, K, KB, KiB, M, MB, MiB, G, GB or GiB (for example 4812B, 1433KB, 10M, "
    "10MiB or 1.5G; 1 K is 1024 bytes)";

namespace {

const OptionRule* FindRule(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const auto& rule : rules)
        if (rule.name == name)
            return &rule;
    return nullptr;
}

// Digits only; nullopt when empty, not a number or beyond 64 bits.
std::optional<std::int64_t> Digits(const std::string& text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

Arguments::Arguments(const std::vector<OptionRule>& rules, const std::vector<std::string>& args) {
    // A help request wins over a mistake elsewhere on the line; a value that
    // happens to read "-h" (a name, a separator) is no request.
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == "--help" || args[i] == "-h")
            throw HelpRequested{};
        const OptionRule* rule = FindRule(rules, args[i]);
        if (rule && rule->takesValue)
            ++i;
    }
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            FPositionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = FindRule(rules, name);
        if (!rule) {
            std::string known;
            for (const auto& each : rules)
                known += (known.empty() ? "" : ", ") + each.name;
            throw UsageError("unknown option " + name +
                             (known.empty() ? "" : "; the options are " + known));
        }
        if (FValues.count(name))
            throw UsageError(name + " is given more than once");
        std::string value;
        if (rule->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError(name + " needs a value" +
                                 (rule->forms.empty() ? "" : ": " + rule->forms));
            }
        } else if (equals != std::string::npos) {
            throw UsageError(name + " takes no value");
        }
        FValues[name] = value;
    }
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
    const auto it = FValues.find(name);
    if (it == FValues.end())
        return std::nullopt;
    return it->second;
}

std::string Arguments::Single(const std::string& what) const {
    return Exactly({what}).front();
}

std::vector<std::string> Arguments::Exactly(const std::vector<std::string>& what) const {
    if (FPositionals.size() < what.size())
        throw UsageError(what[FPositionals.size()] + " is missing");
    if (FPositionals.size() > what.size())
        throw UsageError("unexpected argument \"" + FPositionals[what.size()] + "\"");
    for (std::size_t i = 0; i < what.size(); ++i)
        if (FPositionals[i].empty())
            throw UsageError(what[i] + " is empty");
    return FPositionals;
}

void Arguments::OneOf(const std::vector<std::string>& names) const {
    std::string first;
    for (const auto& name : names) {
        if (!Has(name))
            continue;
        if (!first.empty())
            throw UsageError(first + " and " + name + " exclude each other");
        first = name;
    }
}

// K, KB and KiB are all 1024 bytes, as dd and fio count them and as the
// window always did; a decimal point is taken when the bytes come out whole.
Size ParseSize(const std::string& option, const std::string& text) {
    const auto malformed = [&] {
        return UsageError(option + " \"" + text + "\": expected " + kSizeForms);
    };
    std::size_t at = 0;
    const auto digitsFrom = [&](std::size_t from) {
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        return text.substr(from, at - from);
    };
    const std::string whole = digitsFrom(0);
    std::string fraction;
    if (at < text.size() && text[at] == '.') {
        ++at;
        fraction = digitsFrom(at);
        if (fraction.empty())
            throw malformed();
        fraction.erase(fraction.find_last_not_of('0') + 1);
    }
    static const std::map<std::string, std::int64_t> units = {
        {"B", 1},           {"K", 1024},         {"KB", 1024},     {"KIB", 1024},
        {"M", 1048576},     {"MB", 1048576},     {"MIB", 1048576}, {"G", 1073741824},
        {"GB", 1073741824}, {"GIB", 1073741824},
    };
    const auto unit = units.find(Upper(text.substr(at)));
    const std::int64_t unitBytes = unit == units.end() ? 0 : unit->second;
    const auto number = Digits(whole);
    // Nine decimals are finer than a byte of a GiB anyone would write, and
    // keep the sum below within 64 bits.
    if (unitBytes == 0 || !number || fraction.size() > 9)
        throw malformed();
    std::int64_t part = 0;
    if (!fraction.empty()) {
        std::int64_t scale = 1;
        for (std::size_t i = 0; i < fraction.size(); ++i)
            scale *= 10;
        const std::int64_t numerator = *Digits(fraction) * unitBytes;
        if (numerator % scale != 0)
            throw UsageError(option + " \"" + text + "\" is no whole number of bytes");
        part = numerator / scale;
    }
    if (*number > (std::numeric_limits<std::int64_t>::max() - part) / unitBytes)
        throw UsageError(option + " \"" + text + "\" is too large");
    Size size;
    size.bytes = *number * unitBytes + part;
    // The largest unit up to the written one that holds the bytes whole, so
    // that 1.5G reads as 1536MB, as the window would be given it.
    size.unitBytes = unitBytes;
    while (size.bytes % size.unitBytes != 0)
        size.unitBytes /= 1024;
    size.number = size.bytes / size.unitBytes;
    return size;
}

std::int64_t ParseWhole(const std::string& option, const std::string& text, std::int64_t low,
                        std::int64_t high) {
    const auto number = Digits(text);
    const std::string range = std::to_string(low) + " to " + std::to_string(high);
    if (!number)
        throw UsageError(option + " \"" + text + "\": expected a whole number from " + range);
    if (*number < low || *number > high)
        throw UsageError(option + " " + text + " is out of range: " + range);
    return *number;
}

std::int64_t ParseSizeIn(const std::string& option, const std::string& text, std::int64_t unitBytes,
                         const std::string& unitName, std::int64_t low, std::int64_t high) {
    const Size size = ParseSize(option, text);
    const std::string range =
        std::to_string(low) + unitName + " to " + std::to_string(high) + unitName;
    if (size.bytes % unitBytes != 0)
        throw UsageError(option + " " + text + " is no whole number of " + unitName + " (" + range +
                         ")");
    const std::int64_t units = size.bytes / unitBytes;
    if (units < low || units > high)
        throw UsageError(option + " " + text + " is out of range: " + range);
    return units;
}

// "\n" is a line break and "\\" a backslash; a typed line break counts too.
std::string UnescapeText(const std::string& typed) {
    std::string text;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '\\' && i + 1 < typed.size() &&
            (typed[i + 1] == 'n' || typed[i + 1] == '\\')) {
            text += typed[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            text += typed[i];
        }
    }
    return text;
}

} // namespace Cli
