#include "components/QuillFindFile.h"

#include "util/FileMask.h"
#include "platform/DriveTable.h"
#include "platform/FileSystem.h"
#include "util/Checks.h"
#include "util/QuillTPU.h"

#include <cerrno>
#include <optional>

namespace {

using QuillTPU::AddTrailingDelimiter;

// The search words use the attribute bits of the platform layer.
constexpr std::int32_t kReadOnly = Platform::faReadOnly;
constexpr std::int32_t kHidden = Platform::faHidden;
constexpr std::int32_t kSysFile = Platform::faSysFile;
constexpr std::int32_t kDirectory = Platform::faDirectory;
constexpr std::int32_t kArchive = Platform::faArchive;
constexpr std::int32_t kAnyFile = Platform::faAnyFile;

constexpr std::int32_t BitsOf(TFileAttrKind kind) {
    switch (kind) {
    case ffaReadOnly:
        return kReadOnly;
    case ffaHidden:
        return kHidden;
    case ffaSysFile:
        return kSysFile;
    case ffaVolumeID:
        return 0;
    case ffaDirectory:
        return kDirectory;
    case ffaArchive:
        return kArchive;
    case ffaAnyFile:
        return kAnyFile;
    }
    return 0;
}

// The attributes an entry is enumerated by. A link is an entry of its own
// kind, never a folder, so no enumeration can lead through it.
std::int32_t EnumerationAttributes(const Platform::DirEntry& entry) {
    const std::uint32_t a = entry.info.attributes;
    std::int32_t result = (a & Platform::faHidden) ? kHidden : 0;
    if (!(a & Platform::faSymLink) && (a & Platform::faDirectory))
        result |= kDirectory;
    return result;
}

// Whether an enumeration with the word `word` returns the entry: hidden,
// system and folder entries only when the word asks for them.
bool Returned(std::int32_t attributes, std::int32_t word) {
    for (const std::int32_t bit : {kHidden, kSysFile, kDirectory})
        if ((attributes & bit) && !(word & bit))
            return false;
    return true;
}

std::vector<Platform::DirEntry> Listing(const std::string& folder) {
    auto entries = Platform::ListFolder(folder);
    return entries ? std::move(*entries) : std::vector<Platform::DirEntry>{};
}

// The root as a name of its own: with a "/" left at its end the system
// would look through a link instead of at it.
std::string RootName(const std::string& path) {
    const auto last = path.find_last_not_of('/');
    if (last == std::string::npos)
        return path.empty() ? path : "/";
    return path.substr(0, last + 1);
}

// Marks a folder as being on the way down for as long as it is searched;
// false when it already was (the tree shows it again below itself).
class AncestorMark {
public:
    AncestorMark(std::set<std::pair<std::uint64_t, std::uint64_t>>& ancestors,
                 const std::string& folder)
        : FAncestors(ancestors) {
        FId = Platform::FolderIdentity(folder);
        FFresh = !FId || FAncestors.insert(*FId).second;
    }
    ~AncestorMark() {
        if (FId && FFresh)
            FAncestors.erase(*FId);
    }
    AncestorMark(const AncestorMark&) = delete;
    AncestorMark& operator=(const AncestorMark&) = delete;
    bool Fresh() const { return FFresh; }

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>>& FAncestors;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FId;
    bool FFresh = true;
};

} // namespace

TFindFile::TFindFile() {
    UpdateSearchAttr();
}

TFindFile::~TFindFile() = default;

void TFindFile::SetFileAttr(const TFileAttr& value) {
    fAttr = value;
    UpdateSearchAttr();
}

void TFindFile::SetShowFolders(bool value) {
    FShowFold = value;
    UpdateSearchAttr();
}

void TFindFile::UpdateSearchAttr() {
    std::int32_t word = 0;
    for (const TFileAttrKind kind : fAttr)
        word |= BitsOf(kind);
    if (!FShowFold)
        word &= ~kDirectory;
    iAttr = word;
}

void TFindFile::SetPath(const std::string& value) {
    if (value == fPath)
        return;
    fPath = AddTrailingDelimiter(value);
    if (!QuillTPU::FolderExists(value))
        QuillTPU::ShowErrorReport("TFindFile.setPath", "Path does not exist: " + value);
}

std::vector<std::string> TFindFile::EnterableFolders(const std::string& folder,
                                                     const std::vector<std::string>& names) const {
    std::vector<std::string> result;
    for (const auto& name : names) {
        if (name.empty() || name[0] == '.')
            continue;
        // A volume mounted inside a tree that is being deleted is not part
        // of that tree.
        if (!FFencedMounts.empty() && FFencedMounts.count((folder + name).substr(fPath.size())))
            continue;
        result.push_back(name);
    }
    return result;
}

void TFindFile::SearchFilesIn(const std::string& folder) {
    AncestorMark mark(FAncestors, folder);
    if (!mark.Fresh())
        return;
    const auto entries = Platform::ListFolder(folder);
    if (!entries)
        return;
    if (iAttr & kDirectory)
        for (const char* dots : {".", ".."})
            Output.push_back(FFullPath ? folder + dots : std::string(dots));
    std::vector<std::string> folders;
    for (const auto& e : *entries) {
        const std::int32_t attributes = EnumerationAttributes(e);
        if (Returned(attributes, iAttr))
            Output.push_back(FFullPath ? folder + e.name : e.name);
        if (Returned(attributes, kDirectory) && (attributes & kDirectory))
            folders.push_back(e.name);
    }
    if (fSubFolder)
        for (const auto& name : EnterableFolders(folder, folders))
            SearchFilesIn(AddTrailingDelimiter(folder + name));
}

void TFindFile::SearchFoldersIn(std::string folder) {
    folder = AddTrailingDelimiter(folder);
    AncestorMark mark(FAncestors, folder);
    if (!mark.Fresh())
        return;
    std::vector<std::string> folders;
    for (const auto& e : Listing(folder)) {
        const std::int32_t attributes = EnumerationAttributes(e);
        if (Returned(attributes, kDirectory) && (attributes & kDirectory))
            folders.push_back(e.name);
    }
    for (const auto& name : EnterableFolders(folder, folders)) {
        Output.push_back(FFullPath ? AddTrailingDelimiter(folder + name) : name);
        if (fSubFolder)
            SearchFoldersIn(folder + name);
    }
}

void TFindFile::FilterByMask() {
    std::vector<QuillTPU::TFileMask> masks;
    try {
        for (const auto& mask : QuillTPU::SplitMaskList(fFileMask))
            masks.emplace_back(mask);
    } catch (...) {
        // A mask that cannot be read selects nothing: the unfiltered
        // listing must not stay behind for a later DeleteFiles.
        Output.clear();
        throw;
    }
    std::vector<std::string> kept;
    for (auto& entry : Output) {
        for (const auto& mask : masks)
            if (mask.Matches(entry)) {
                kept.push_back(std::move(entry));
                break;
            }
    }
    Output = std::move(kept);
}

bool TFindFile::PathGiven() const {
    if (fPath.empty())
        QuillTPU::ShowErrorMessage("TFindFile-Path is empty");
    return !fPath.empty();
}

void TFindFile::SearchFiles() {
    Output.clear();
    FAncestors.clear();
    if (PathGiven())
        SearchFilesIn(fPath);
    if (fFileMask != "*.*")
        FilterByMask();
}

void TFindFile::SearchFolders() {
    Output.clear();
    FAncestors.clear();
    if (PathGiven())
        SearchFoldersIn(fPath);
}

void TFindFile::SearchAllFiles() {
    fFileMask = "*.*";
    fSubFolder = true;
    SearchFiles();
}

std::int32_t TFindFile::CountFilesInFolder() {
    SetShowFolders(false);
    SearchFiles();
    return CheckedCast<std::int32_t>(Output.size());
}

bool TFindFile::InsideTree(const std::string& entry) const {
    if (entry.size() <= fPath.size() || entry.compare(0, fPath.size(), fPath) != 0)
        return false;
    // "." and ".." would climb back out.
    std::size_t start = fPath.size();
    while (start <= entry.size()) {
        std::size_t end = entry.find('/', start);
        if (end == std::string::npos)
            end = entry.size();
        const std::string part = entry.substr(start, end - start);
        if (part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

bool TFindFile::RemoveEntry(const std::string& entry, bool folder) const {
    const auto remove = [&](int* error) {
        return folder ? Platform::RemoveFolder(entry, error) : Platform::DeleteFile(entry, error);
    };
    int error = 0;
    if (remove(&error))
        return true;
    // A folder without its owner's write permission is read-only in the
    // Windows sense, which never protects a folder's contents: one of the
    // user's own inside the tree gets that permission back, and we retry.
    if (error != EACCES)
        return false;
    const std::string parent = entry.substr(0, entry.rfind('/'));
    const bool ofTheTree = parent + "/" == fPath || InsideTree(parent + "/");
    return ofTheTree && Platform::MakeOwnFolderWritable(parent) && remove(nullptr);
}

bool TFindFile::DeleteFiles() {
    FV_ASSERT(!fPath.empty(), "Path is empty!");
    FFullPath = true;
    bool result = true;
    for (const auto& entry : Output) {
        // A file's own permissions do not keep it from being deleted here,
        // so there is nothing to clear first. An entry outside the tree (a
        // bare name, "..") is not deleted: it counts as a failure.
        if (!InsideTree(entry) || !RemoveEntry(entry, false)) {
            result = false;
            if (AbortOnDeleteFailure)
                break;
        }
    }
    return result;
}

bool TFindFile::DeleteTree() {
    FFullPath = true;
    fSubFolder = true;
    SetShowFolders(false);
    fFileMask = "*.*";

    const std::string root = RootName(fPath);
    if (!fPath.empty()) {
        const auto info = Platform::GetInfo(root);
        // A root that is a link goes as a link; what it points to stays.
        if (info && (info->attributes & Platform::faSymLink)) {
            Output.clear();
            return Platform::DeleteFile(root);
        }
        // The whole system is never a work folder.
        if (Platform::SameFile(root, "/"))
            return false;
    }

    struct Fence {
        std::set<std::string>& mounts;
        ~Fence() { mounts.clear(); }
    } fence{FFencedMounts};
    if (!fPath.empty()) {
        const std::string canonical = Platform::RealPath(root);
        const std::string base = canonical.empty() ? root : canonical;
        for (const auto& point : Platform::MountPoints())
            if (point.size() > base.size() + 1 && point.compare(0, base.size(), base) == 0 &&
                (base == "/" || point[base.size()] == '/'))
                FFencedMounts.insert(point.substr(base.size() + (base == "/" ? 0 : 1)));
    }

    SearchFiles();
    bool ok = DeleteFiles();
    if (!ok && AbortOnDeleteFailure)
        return false;
    FAncestors.clear();
    SearchFoldersIn(fPath);
    // Backwards: every folder after the folders inside it. The file entries
    // at the front are no folders and stay as they are.
    for (auto it = Output.rbegin(); it != Output.rend(); ++it)
        if (InsideTree(*it))
            RemoveEntry(Platform::WithoutTrailingSlash(*it), true);
    if (ok) {
        ok = Platform::SetReadOnly(root, false);
        if (ok)
            ok = Platform::RemoveFolder(root);
    }
    return ok;
}

void TFindFile::CopyTo(const std::string& toPath) {
    for (const auto& entry : Output) {
        // A bare name would be looked up in whatever folder the program
        // runs in, which is not what was listed.
        if (entry.empty() || entry[0] != '/')
            continue;
        QuillTPU::CopyFileToFolder(entry, toPath, true);
    }
}

namespace QuillTPU {

bool DeleteFolderTree(const std::string& folder) {
    if (!FolderExists(folder))
        return true;
    TFindFile finder;
    finder.SetPath(folder);
    return finder.DeleteTree();
}

} // namespace QuillTPU
