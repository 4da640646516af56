// Test-only helpers: files, tree snapshots, host commands, and what a renaming run must keep.
#pragma once

#include "Driver.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

// Declared for Windows 10 builds only; this one is for Vista, and Wine has it.
extern "C" __declspec(dllimport) BOOL WINAPI
    SystemParametersInfoForDpi(UINT, UINT, void *, UINT, UINT);

namespace support {

// Creates the folder and every missing folder above it.
bool MakeDirs(const std::wstring &path);
bool WriteBytes(const std::wstring &path, const std::string &bytes);
using driver::Utf8;
using driver::WaitUntil;
bool AllDigits(const std::wstring &text);

// One entry of a tree; a link's name ends in "@" and nothing below it is listed.
struct TEntry {
    bool folder;
    std::wstring path; // relative to the root
    std::wstring name;
    std::string bytes; // a file's content
};
// Every entry below root, each folder before what it holds.
std::vector<TEntry> Snapshot(const std::wstring &root);
// The tree without its folder names: equal before and after a run exactly when no folder was
// lost or moved and every file kept its folder, name and bytes.
std::wstring Shape(const std::vector<TEntry> &tree, const std::wstring &folder = L"");
// After a run: the same shape, and every folder but links and the kept ones renamed to digits
// of one of the given lengths (an old name of other digits has another length), the first of
// them where no other folder stands beside it.
void ExpectRenamed(const std::vector<TEntry> &before, const std::wstring &root,
                   const std::set<size_t> &lengths, const std::set<std::wstring> &kept = {});

// A real key press, as a person makes it on the window brought to the front (null: on whatever
// has the keyboard): a virtual key, or with key 0 a character typed as Unicode.
void PressKey(HWND window, WORD key, wchar_t character = 0);

// The size of the text's box in that font or, with ink, of what it draws.
SIZE TextSize(const LOGFONTW &font, const std::wstring &text, bool ink = false);
// The control's label on the screen, as it was last painted, is its text in that font: another
// process's font cannot be read, but what goes from the screen when the text goes (it comes
// back after) can be measured.
void ExpectLabelInFont(HWND control, const LOGFONTW &font);

// The window's client area and each of its controls as at 96 DPI, scaled to dpi: the client
// width and height, then each control's left, top, width and height in client coordinates, in
// the order they were made. At 96 DPI they become places96. Gives the places found.
std::vector<int> ExpectScaled(HWND window, int dpi, std::vector<int> &places96);

// Wine gives each process it starts the DPI stored as LogPixels under HKCU\Control Panel\Desktop
// (GetDpiForWindow then reports it).
void SetLogPixels(DWORD dpi);

// DLLs that a web page could leave beside a downloaded program, under names that Windows or its
// own DLLs load by name: libplanted.dll, which leaves a folder NAME.dll.loaded beside itself once
// loaded, is copied there under each name. With plant false: none was loaded, and the copies go.
void PlantDlls(const std::wstring &folder, bool plant = true);
// Wine's settings for FolderRename.exe alone: a DLL beside it is preferred, as Windows does for
// every DLL that is not a known DLL (also when COM starts it), and the version of Windows it is
// told where one is given. Null removes them.
void SetToolDefaults(const wchar_t *version);

// Runs a command of the host's shell in workDir (Wine only: a Unix symbolic link, say, which
// CreateSymbolicLinkW does not make there); true when it exits with 0.
bool RunHostShell(const std::wstring &command, const std::wstring &workDir);

} // namespace support
