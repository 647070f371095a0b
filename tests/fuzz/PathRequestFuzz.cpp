// The path edit's completion of a typed path, with a folder the input
// describes: byte 0 is the attribute mask, the rest of the first line the
// typed text, each further line an entry (its first byte the attribute
// word, 0xFF for an entry that is gone by the time it is looked at, then
// its name). Every folder asked for holds these entries.
#include "components/PathRequest.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint32_t mask = data[0];
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t newline = input.find('\n');
    const std::string typed = input.substr(0, newline);
    std::vector<std::string> names;
    std::map<std::string, std::uint8_t> attributes;
    while (newline != std::string::npos && newline + 1 < input.size()) {
        const std::size_t next = input.find('\n', newline + 1);
        const std::string line = input.substr(newline + 1, next - newline - 1);
        newline = next;
        if (line.empty())
            continue;
        names.push_back(line.substr(1));
        attributes.emplace(line.substr(1), static_cast<std::uint8_t>(line[0]));
    }

    std::string asked; // the folder listed, if any
    TPathQuery query;
    query.Names = [&](const std::string& folder) {
        // The folder is the typed text up to its last "/", whole.
        if (!asked.empty() || folder.empty() || folder.back() != '/' ||
            folder.find('\0') != std::string::npos ||
            typed.compare(0, folder.size(), folder) != 0 ||
            typed.find('/', folder.size()) != std::string::npos)
            __builtin_trap();
        asked = folder;
        return names;
    };
    query.Attributes = [&](const std::string& path) -> std::optional<std::uint32_t> {
        if (path.compare(0, asked.size(), asked) != 0)
            __builtin_trap();
        const auto it = attributes.find(path.substr(asked.size()));
        if (it == attributes.end() || it->second == 0xFF)
            return std::nullopt;
        return it->second;
    };

    const auto tail = PathCompletion(typed, mask, query);
    if (!tail)
        return 0;
    // The completed name is an entry the mask offers, begun by the typed part.
    const std::string name = typed.substr(asked.size()) + *tail;
    const auto it = attributes.find(name);
    if (asked.empty() || std::find(names.begin(), names.end(), name) == names.end() ||
        it == attributes.end() || it->second == 0xFF || (it->second & mask) == 0)
        __builtin_trap();
    return 0;
}
