#include "tools/merge/MergeSources.h"

#include "util/FileMask.h"
#include "platform/FileSystem.h"
#include "util/Paths.h"
#include "util/Utf8.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace Merge {

namespace {

// Why an entry is no source, or nullptr when it is one.
const char* NoSourceReason(const std::string& folder, const Platform::DirEntry& entry) {
    auto attributes = entry.info.attributes;
    if (attributes & Platform::faHidden)
        return "hidden";
    if (attributes & (Platform::faSysFile | Platform::faDirectory))
        return "a folder";
    if (attributes & Platform::faSymLink) {
        const auto target =
            Platform::GetTargetInfo(QuillTPU::AddTrailingDelimiter(folder) + entry.name);
        if (!target)
            return "a link that leads nowhere";
        attributes = target->attributes;
    }
    if (attributes & Platform::faDirectory)
        return "a folder";
    if (!(attributes & Platform::faArchive))
        return "no regular file";
    return nullptr;
}

// The patterns of a mask text, left to right; only ";" separates them.
std::vector<QuillTPU::TFileMask> CompileMasks(const std::string& masks,
                                                   std::vector<std::string>& invalid) {
    std::vector<QuillTPU::TFileMask> compiled;
    std::size_t start = 0;
    while (start <= masks.size()) {
        std::size_t end = masks.find(';', start);
        if (end == std::string::npos)
            end = masks.size();
        if (end > start) {
            try {
                compiled.emplace_back(masks.substr(start, end - start));
            } catch (const QuillTPU::EInvalidMask& e) {
                invalid.emplace_back(e.what());
            }
        }
        start = end + 1;
    }
    return compiled;
}

struct Candidate {
    const std::string* name;
    std::string key; // the name in lower case, by the user's locale
    bool matched = false;
};

} // namespace

SourceList ListSources(const std::string& folder, const std::string& masks) {
    SourceList list;
    const auto patterns = CompileMasks(masks, list.invalidMasks);
    const auto entries = Platform::ListFolder(folder, &list.error);
    if (!entries)
        return list;
    std::vector<Candidate> files;
    for (const auto& entry : *entries) {
        if (const char* reason = NoSourceReason(folder, entry))
            list.leftOut.push_back({entry.name, reason});
        else
            files.push_back({&entry.name, QuillTPU::LocaleLowerCase(entry.name)});
    }
    // Mask by mask, as a list box adds what each pattern finds: a file that
    // two masks find is added twice.
    std::vector<const Candidate*> listed;
    for (const auto& pattern : patterns)
        for (auto& file : files)
            if (pattern.Matches(*file.name)) {
                file.matched = true;
                listed.push_back(&file);
            }
    // Names alike but for case keep one order whatever the folder's own.
    std::stable_sort(listed.begin(), listed.end(), [](const Candidate* a, const Candidate* b) {
        return std::tie(a->key, *a->name) < std::tie(b->key, *b->name);
    });
    list.names.reserve(listed.size());
    for (const Candidate* file : listed)
        list.names.push_back(*file->name);
    for (const auto& file : files)
        if (!file.matched)
            list.leftOut.push_back({*file.name, "does not match the mask"});
    return list;
}

} // namespace Merge
