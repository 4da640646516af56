// The forms of a chosen folder's path: as the run works on it, with the long-path prefix for the
// system's calls, and comparable, for the question and for telling two spellings of one folder
// apart.
#include "App.h"

namespace {

const wchar_t LongPathPrefix[] = L"\\\\?\\";

bool StartsWith(const std::wstring &text, const wchar_t *head) {
    return text.compare(0, wcslen(head), head) == 0;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The long-path prefix turns off normalisation, so a relative path or one with "/", "." or
// ".." parts would make every move fail; the run works on the plain full path instead.
std::wstring FullPath(const std::wstring &path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

// The path as people write it: "\\?\C:\x" is "C:\x", "\\?\UNC\server\share" is
// "\\server\share".
std::wstring WithoutLongPathPrefix(const std::wstring &path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
    if (StartsWith(path, L"\\\\?\\") && path.size() >= 6 && path[5] == L':') return path.substr(4);
    return path;
}

} // namespace

std::wstring ChosenFolderPath(const std::wstring &argument) {
    // A prefixed path is not normalised by the system either; it names the folder as it stands.
    if (argument.empty() || StartsWith(argument, LongPathPrefix)) return argument;
    std::wstring path = argument;
    const bool driveRoot = path.size() == 3 && path[1] == L':';
    while (path.size() > 1 && IsSeparator(path.back()) && !driveRoot)
        path.pop_back();
    const size_t separator = path.find_last_of(L"\\/");
    const size_t nameStart = separator != std::wstring::npos       ? separator + 1
                             : path.size() >= 2 && path[1] == L':' ? 2
                                                                   : 0;
    const std::wstring name = path.substr(nameStart);
    std::wstring full = FullPath(path);
    // "." and ".." are steps, not names; a name of other dots and spaces is no folder's.
    const size_t lastKept = name.find_last_not_of(L". ");
    if (lastKept == std::wstring::npos || lastKept + 1 == name.size()) return full;
    const size_t fullKept = full.find_last_not_of(L". ");
    return full.substr(0, fullKept + 1) + name.substr(lastKept + 1);
}

bool IsExistingFolder(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(WithLongPathPrefix(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithLongPathPrefix(const std::wstring &path) {
    // A path that already has a prefix keeps it, and a network path takes the prefix's UNC
    // form: "\\?\" in front of "\\server\share" names nothing, and every move would fail.
    if (StartsWith(path, LongPathPrefix) || StartsWith(path, L"\\\\.\\")) return path;
    if (StartsWith(path, L"\\\\")) return std::wstring(LongPathPrefix) + L"UNC" + path.substr(1);
    // Only a full drive path can take the prefix; anything else would name nothing with it.
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return path;
    return LongPathPrefix + path;
}

bool IsDevicePath(const std::wstring &path) {
    return StartsWith(path, LongPathPrefix) || StartsWith(path, L"\\\\.\\");
}

size_t RootLength(const std::wstring &path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return 3;
    if (!StartsWith(path, L"\\\\")) return 0;
    const bool device = IsDevicePath(path);
    size_t end = path.find(L'\\', device ? 4 : 2);
    if (!device && end != std::wstring::npos) end = path.find(L'\\', end + 1);
    return end == std::wstring::npos ? path.size() : end;
}

std::wstring ComparablePath(const std::wstring &path) {
    std::wstring full = WithoutLongPathPrefix(ChosenFolderPath(path));
    // Short 8.3 names become the names people see; a path that does not exist stays as it is.
    // The prefix is given only where it is needed: not every system takes it here.
    const std::wstring asked = full.size() < MAX_PATH ? full : WithLongPathPrefix(full);
    const DWORD size = GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (size > 0) {
        std::wstring longPath(size, L'\0');
        const DWORD length = GetLongPathNameW(asked.c_str(), &longPath[0], size);
        if (length > 0 && length < size) full = WithoutLongPathPrefix(longPath.substr(0, length));
    }
    const size_t root = RootLength(full);
    while (full.size() > std::max<size_t>(root, 1) && full.back() == L'\\')
        full.pop_back();
    return full;
}

bool SamePath(const std::wstring &a, const std::wstring &b) {
    // Ordinal and without case, as the file system compares names.
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsInside(const std::wstring &inner, const std::wstring &outer) {
    // Whole names only: C:\Users2 is not inside C:\Users. A root keeps its backslash.
    const size_t head = !outer.empty() && outer.back() == L'\\' ? outer.size() - 1 : outer.size();
    return !outer.empty() && inner.size() > head + 1 && inner[head] == L'\\' &&
           SamePath(inner.substr(0, head), outer.substr(0, head));
}
