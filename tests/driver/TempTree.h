// Sandboxed folder trees for tests: a unique temporary folder that removes itself, helpers to
// build trees in it, and a snapshot of a tree to compare before and after a run.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// A new, empty folder under %TEMP%; removed with everything in it when the object goes.
class TTempDir {
  public:
    explicit TTempDir(const std::wstring &tag = L"t");
    ~TTempDir();
    TTempDir(const TTempDir &) = delete;
    TTempDir &operator=(const TTempDir &) = delete;

    // The folder's full path, without a trailing backslash.
    const std::wstring &Path() const { return path_; }
    // Path() + "\" + relative.
    std::wstring operator/(const std::wstring &relative) const;

  private:
    std::wstring path_;
};

// Adds the long-path prefix to a full path, so that deep trees can be made and removed.
std::wstring LongPath(const std::wstring &path);
// Creates the folder and every missing folder above it.
bool MakeDirs(const std::wstring &path);
bool WriteBytes(const std::wstring &path, const std::string &bytes);
std::string ReadBytes(const std::wstring &path);
// Removes a file or a whole folder tree; true when nothing is left.
bool RemoveTree(const std::wstring &path);

// Runs a command of the host's shell in workDir (Wine only); true when it exits with 0 within
// two minutes.
bool RunHostShell(const std::wstring &command, const std::wstring &workDir);
// Makes linkPath a Unix symbolic link to the folder targetPath (Wine only: CreateSymbolicLinkW
// does nothing there). True when the link shows up as a reparse-point folder.
bool MakeFolderLink(const std::wstring &linkPath, const std::wstring &targetPath);

// The names directly in a folder, sorted.
std::vector<std::wstring> ChildNames(const std::wstring &folder);
// The folder a path is in: the path up to its last backslash.
std::wstring ParentFolder(const std::wstring &path);

// The names a shared folder (SendTo, say) held when the object was made, so that what a test
// or the tool adds later can be listed and taken away again.
class TFolderBaseline {
  public:
    explicit TFolderBaseline(const std::wstring &folder);
    const std::wstring &Folder() const { return folder_; }
    std::vector<std::wstring> Added() const;
    void RemoveAdded() const;

  private:
    std::wstring folder_;
    std::vector<std::wstring> names_;
};

// One entry of a tree, relative to its root.
struct TEntry {
    int depth; // 1 for a direct child of the root
    bool folder;
    std::wstring path; // relative path, backslash-separated
    std::wstring name;
    std::string bytes; // a file's content
};
// Every entry below root, depth first; links are listed but not followed.
std::vector<TEntry> Snapshot(const std::wstring &root);
// The number of folders at each depth (index 0 unused).
std::vector<int> FoldersPerDepth(const std::vector<TEntry> &tree);
// Each file's content together with the depth of the file, sorted: equal before and after a
// run when no file was lost, changed or moved to another depth.
std::vector<std::pair<int, std::string>> FileContents(const std::vector<TEntry> &tree);
// Builds width subfolders per folder, depth levels deep, below root; returns how many.
int BuildTree(const std::wstring &root, int width, int depth);

} // namespace driver
