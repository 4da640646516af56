// Test-only helpers: files, tree snapshots, folder links, and the invariants of a renaming run.
#pragma once

#include "Driver.h"

#include <set>
#include <string>
#include <vector>

namespace support {

bool WriteBytes(const std::wstring &path, const std::string &bytes);
std::string ReadBytes(const std::wstring &path);
std::string Utf8(const std::wstring &text);

// One entry of a tree, relative to its root.
struct TEntry {
    bool folder;
    std::wstring path; // relative, backslash-separated
    std::wstring name;
    std::string bytes; // a file's content
};
// Every entry below root, parents before children; links are listed but not followed.
std::vector<TEntry> Snapshot(const std::wstring &root);
// The tree with every folder name left out, sorted: equal before and after a run exactly when
// no folder was lost or moved and every file kept its folder, name and bytes.
std::wstring Shape(const std::vector<TEntry> &tree, const std::wstring &folder = L"");
bool AllDigits(const std::wstring &text);

// Makes linkPath a Unix symbolic link to the folder targetPath (Wine only: CreateSymbolicLinkW
// does nothing there); true when it shows up as a reparse-point folder.
bool MakeFolderLink(const std::wstring &linkPath, const std::wstring &targetPath);
// Runs a command of the host's shell in workDir (Wine only); true when it exits with 0.
bool RunHostShell(const std::wstring &command, const std::wstring &workDir);

// The target, arguments and working folder of a shell link; COM must be initialised.
bool ReadLink(const std::wstring &file, std::wstring &target, std::wstring &arguments,
              std::wstring &workDir);

// After a run: the same shape and bytes, and every folder but the kept ones renamed to digits
// of one of the given lengths.
void ExpectRenamed(const std::vector<TEntry> &before, const std::wstring &root,
                   const std::set<size_t> &lengths, const std::set<std::wstring> &kept = {});

} // namespace support
