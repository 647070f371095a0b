#include "tools/wipe/MemoryLimit.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace Wipe {

namespace {

std::optional<std::int64_t> ReadNumber(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt; // missing, or "max"
    try {
        return std::stoll(text);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::int64_t> MemAvailable(const std::string& procRoot) {
    std::ifstream in(procRoot + "/meminfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("MemAvailable:", 0) != 0)
            continue;
        std::istringstream fields(line.substr(13));
        std::int64_t kb = 0;
        if (fields >> kb)
            return kb * 1024;
    }
    return std::nullopt;
}

// The room under the limits of a group and every group above it: a parent's
// limit counts the children's use too.
std::optional<std::int64_t> RoomInGroups(std::string folder, const std::string& top,
                                         const char* limitFile, const char* usageFile) {
    std::optional<std::int64_t> room;
    for (;;) {
        const auto limit = ReadNumber(folder + "/" + limitFile);
        const auto usage = ReadNumber(folder + "/" + usageFile);
        // Version 1 says "no limit" with a number near 2^63.
        if (limit && usage && *limit < (std::int64_t{1} << 62)) {
            const std::int64_t left = std::max<std::int64_t>(*limit - *usage, 0);
            room = room ? std::min(*room, left) : left;
        }
        if (folder.size() <= top.size())
            return room;
        folder.erase(folder.rfind('/'));
    }
}

} // namespace

std::optional<std::int64_t> AvailableMemory(const std::string& procRoot,
                                            const std::string& cgroupRoot) {
    std::optional<std::int64_t> available = MemAvailable(procRoot);
    std::ifstream groups(procRoot + "/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // "0::/path" (version 2) or "4:memory:/path" (version 1).
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        while (!path.empty() && path.back() == '/')
            path.pop_back();
        std::optional<std::int64_t> room;
        if (line.rfind("0::", 0) == 0)
            room = RoomInGroups(cgroupRoot + path, cgroupRoot, "memory.max", "memory.current");
        else if (controllers == "memory")
            room = RoomInGroups(cgroupRoot + "/memory" + path, cgroupRoot + "/memory",
                                "memory.limit_in_bytes", "memory.usage_in_bytes");
        if (room)
            available = available ? std::min(*available, *room) : *room;
    }
    return available;
}

} // namespace Wipe
