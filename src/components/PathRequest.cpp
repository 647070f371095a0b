#include "components/PathRequest.h"

#include "platform/FileSystem.h"
#include "util/Utf8.h"

#include <algorithm>
#include <memory>

#include <dirent.h>

namespace {

// A name the box can show and the user type back as it is: valid UTF-8,
// which decodes without standing in for a stray byte.
bool IsText(const std::string& name) {
    const std::u32string points = QuillTPU::DecodeUtf8(name);
    return std::none_of(points.begin(), points.end(),
                        [](char32_t c) { return c >= 0xDC80 && c <= 0xDCFF; });
}

} // namespace

std::optional<std::string> BestPathMatch(const std::vector<std::string>& names,
                                         const std::string& prefix,
                                         const std::function<bool(const std::string&)>& offered) {
    // The name typed in full is the one meant: "docs" beside "docsX" stays
    // "docs", whichever the folder happens to hold first. Among longer
    // names the folder's own order decides.
    std::optional<std::string> first;
    for (const std::string& name : names) {
        if (name.compare(0, prefix.size(), prefix) != 0 || (first && name.size() != prefix.size()))
            continue;
        if (!offered(name))
            continue;
        if (name.size() == prefix.size())
            return name;
        first = name;
    }
    return first;
}

std::optional<std::string> PathCompletion(const std::string& typed, std::uint32_t mask,
                                          const TPathQuery& query) {
    // Only absolute paths complete; a drive letter means nothing here, and
    // after a "/" nothing of the next name has been typed yet. A NUL would
    // end the path early for the system, which would then list another
    // folder than the one shown.
    if (typed.empty() || typed.front() != '/' || typed.back() == '/' ||
        typed.find('\0') != std::string::npos)
        return std::nullopt;
    const std::size_t slash = typed.rfind('/');
    const std::string folder = typed.substr(0, slash + 1);
    const std::string part = typed.substr(slash + 1);
    // A link counts with what it leads to, so "/li" still finds "/lib".
    const auto name = BestPathMatch(query.Names(folder), part, [&](const std::string& n) {
        if (!IsText(n))
            return false;
        const auto attributes = query.Attributes(folder + n);
        return attributes && (*attributes & mask) != 0;
    });
    if (!name)
        return std::nullopt;
    return name->substr(part.size());
}

TPathQuery DiskPathQuery() {
    TPathQuery query;
    query.Names = [](const std::string& folder) {
        std::vector<std::string> names;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
        if (dir)
            while (const dirent* e = ::readdir(dir.get()))
                names.emplace_back(e->d_name);
        return names;
    };
    query.Attributes = [](const std::string& path) -> std::optional<std::uint32_t> {
        auto info = Platform::GetTargetInfo(path);
        if (!info)
            info = Platform::GetInfo(path);
        if (!info)
            return std::nullopt;
        return info->attributes;
    };
    return query;
}
