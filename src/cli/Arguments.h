#pragma once
// The command line of one command: its options (with or without a value)
// and its positional arguments. A mistake raises UsageError with a message
// that names the option and the forms it takes; the program then ends with
// status 2 before anything is written.
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Cli {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "--help" or "-h" where an option may stand (not as an option's value,
// not after "--"): the caller shows the help and does nothing else.
struct HelpRequested {};

struct OptionRule {
    std::string name; // "--size"
    bool takesValue = false;
    std::string forms; // what the value may be, for the messages
};

class Arguments {
public:
    // args: everything after the command name. "--opt value" and
    // "--opt=value" are both accepted; "--" ends the options. Raises
    // HelpRequested before any mistake is reported.
    Arguments(const std::vector<OptionRule>& rules, const std::vector<std::string>& args);

    bool Has(const std::string& name) const { return FValues.count(name) != 0; }
    std::optional<std::string> Value(const std::string& name) const;
    const std::vector<std::string>& Positionals() const { return FPositionals; }

    // The one positional argument a command takes (named for the message).
    std::string Single(const std::string& what) const;
    // Exactly these positionals, in order.
    std::vector<std::string> Exactly(const std::vector<std::string>& what) const;
    // Raises when more than one of these options was given.
    void OneOf(const std::vector<std::string>& names) const;

private:
    std::map<std::string, std::string> FValues;
    std::vector<std::string> FPositionals;
};

// The accepted forms of a SIZE, for messages and help.
extern const char* const kSizeForms;

struct Size {
    std::int64_t number = 0;    // in the unit below: as written, or 1536 for "1.5G"
    std::int64_t unitBytes = 1; // 1, 1024, 1048576 or 1073741824
    std::int64_t bytes = 0;     // number x unitBytes
};

// A size as the window writes it, a whole number and B, KB, MB or GB, or as
// dd and fio take it: K, M, G and KiB, MiB, GiB, with a decimal point when
// the bytes come out whole ("1.5G"). All are powers of 1024, either case.
Size ParseSize(const std::string& option, const std::string& text);
// A whole number in [low, high].
std::int64_t ParseWhole(const std::string& option, const std::string& text, std::int64_t low,
                        std::int64_t high);
// A size that must be whole units of unitBytes, in [low, high] units;
// unitName names the unit in the message ("KB", "MB").
std::int64_t ParseSizeIn(const std::string& option, const std::string& text, std::int64_t unitBytes,
                         const std::string& unitName, std::int64_t low, std::int64_t high);

// A typed text where backslash-n is a line break and two backslashes one.
std::string UnescapeText(const std::string& typed);

} // namespace Cli
