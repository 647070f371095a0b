#include "util/LeftoverStatus.h"

#include "util/Format.h"

#include <algorithm>

namespace QuillTPU {

std::string LeftoverStatus(const std::vector<Platform::RemovedLeftovers>& removed) {
    if (removed.empty())
        return {};
    std::size_t files = 0;
    std::int64_t bytes = 0;
    std::vector<std::string> labels;
    for (const Platform::RemovedLeftovers& r : removed) {
        files += r.files;
        bytes += r.bytes;
        if (std::find(labels.begin(), labels.end(), r.label) == labels.end())
            labels.push_back(r.label);
    }
    std::string tools = labels.front();
    for (std::size_t i = 1; i < labels.size(); ++i)
        tools += (i + 1 == labels.size() ? " and " : ", ") + labels[i];
    if (files == 0)
        return "Removed the empty work folder of an interrupted " + tools;
    return "Removed " + FormatInteger(static_cast<std::int64_t>(files)) +
           (files == 1 ? " file" : " files") + " (" + FormatSize(bytes) +
           ") left by an interrupted " + tools;
}

} // namespace QuillTPU
