#pragma once
// TFindFile: lists the files or the folders below a root folder, narrows the
// list down with file masks, and deletes or copies what it listed.
//
// Links: a symbolic link is an entry of its own, never a way in. The file
// search lists a link (to a file or to a folder) like a file, the folder
// search never lists or enters one, and deleting a listed link removes the
// link, not what it points to. A folder that shows up again below itself
// (a bind mount) is not entered twice, and DeleteTree does not enter other
// volumes mounted inside the tree. So no search runs forever and no
// deletion leaves the tree it was given.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

enum TFileAttrKind {
    ffaReadOnly,
    ffaHidden,
    ffaSysFile,
    ffaVolumeID,
    ffaDirectory,
    ffaArchive,
    ffaAnyFile,
};
using TFileAttr = std::set<TFileAttrKind>;

class TFindFile {
public:
    TFindFile();
    ~TFindFile();
    TFindFile(const TFindFile&) = delete;
    TFindFile& operator=(const TFindFile&) = delete;

    // ---- Properties ----------------------------------------------------------
    const TFileAttr& FileAttr() const { return fAttr; }
    void SetFileAttr(const TFileAttr& value);
    bool SearchSubFolders() const { return fSubFolder; }
    void SetSearchSubFolders(bool value) { fSubFolder = value; }
    // The root folder, kept with a trailing "/" (an empty path stays empty).
    // A folder that does not exist is reported, and kept.
    const std::string& Path() const { return fPath; }
    void SetPath(const std::string& value);
    const std::string& FileMask() const { return fFileMask; }
    void SetFileMask(const std::string& value) { fFileMask = value; }
    bool ShowFolders() const { return FShowFold; }
    void SetShowFolders(bool value);
    bool FullPath() const { return FFullPath; }
    void SetFullPath(bool value) { FFullPath = value; }
    // The attribute word the file search enumerates with.
    std::int32_t SearchAttr() const { return iAttr; }

    // The result: one entry per line, in the order found.
    std::vector<std::string> Output;
    // Deletion stops at the first failure.
    bool AbortOnDeleteFailure = false;

    // ---- Operations ------------------------------------------------------------
    void SearchFiles();
    void SearchFolders();
    void SearchAllFiles();
    // The number of files (never folders) below Path.
    std::int32_t CountFilesInFolder();
    // Deletes every entry of Output as a file; true when all went.
    bool DeleteFiles();
    // Deletes Path with everything in it; true when the root itself is gone.
    bool DeleteTree();
    // Copies every listed file into toPath (which ends with "/"), replacing
    // files of the same name. Failures and folders are skipped.
    void CopyTo(const std::string& toPath);

private:
    using FolderId = std::pair<std::uint64_t, std::uint64_t>;

    bool fSubFolder = true;
    bool FShowFold = false;
    bool FFullPath = true;
    TFileAttr fAttr{ffaAnyFile};
    std::int32_t iAttr = 0;
    std::string fPath;
    std::string fFileMask = "*.*";
    // Folders on the way down from the root (against bind-mount loops).
    std::set<FolderId> FAncestors;
    // Mount points the current deletion must not enter.
    std::set<std::string> FFencedMounts;

    // Shows the empty-path error; the searches start only from a given Path.
    bool PathGiven() const;
    void SearchFilesIn(const std::string& folder);
    void SearchFoldersIn(std::string folder);
    void FilterByMask();
    void UpdateSearchAttr();
    // The sub-folders of a folder that a search may enter, in the order the
    // system gives them.
    std::vector<std::string> EnterableFolders(const std::string& folder,
                                              const std::vector<std::string>& names) const;
    bool InsideTree(const std::string& entry) const;
    // Deletes a file or removes an empty folder of the tree; a read-only
    // folder of the user's that holds it is made writable first.
    bool RemoveEntry(const std::string& entry, bool folder) const;
};

namespace QuillTPU {

// Removes folder (a path ending in "/") with all its contents; true when it
// did not exist or is gone. Built on TFindFile::DeleteTree.
bool DeleteFolderTree(const std::string& folder);

} // namespace QuillTPU
