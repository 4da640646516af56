// Registry access through the ANSI interface, and the byte routines the key-path split rests on.
#include "mv.API.h"

#include <array>
#include <vector>

namespace mv {

namespace {

constexpr std::array<unsigned char, 256> MakeAsciiLowerTable() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    return table;
}

// Only "A" to "Z" fold, whatever the locale, so no other byte compares equal to a backslash.
constexpr std::array<unsigned char, 256> AsciiLowerTable = MakeAsciiLowerTable();

int32_t CompareFolded(const char *a, const char *b, int32_t count, bool fold) {
    if (count <= 0) return 3;
    for (int32_t i = 0; i < count; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (fold) {
            x = AsciiLowerTable[x];
            y = AsciiLowerTable[y];
        }
        if (x != y) return x < y ? 0 : 2;
    }
    return 1;
}

bool FitsAt(const std::string &sub, const std::string &s, int32_t pos) {
    return !sub.empty() && !s.empty() && pos >= 1 &&
           static_cast<int64_t>(pos) + static_cast<int64_t>(sub.size()) - 1 <=
               static_cast<int64_t>(s.size());
}

} // namespace

std::string CopyFrom(const std::string &s, int32_t index) {
    if (index <= 1) return s;
    if (s.empty() || static_cast<size_t>(index) > s.size()) return std::string();
    return s.substr(index - 1);
}

std::string CopyLeft(const std::string &s, int32_t count) {
    if (s.empty() || count <= 0) return std::string();
    return s.substr(0, static_cast<size_t>(count));
}

int32_t FindCharFrom(char ch, const std::string &s, int32_t start) {
    if (start < 1) start = 1;
    if (s.empty() || static_cast<size_t>(start) > s.size()) return 0;
    const size_t found = s.find(ch, static_cast<size_t>(start) - 1);
    return found == std::string::npos ? 0 : static_cast<int32_t>(found) + 1;
}

int32_t CompareBytes(const char *a, const char *b, int32_t count) {
    return CompareFolded(a, b, count, false);
}

int32_t CompareBytesNoCase(const char *a, const char *b, int32_t count) {
    return CompareFolded(a, b, count, true);
}

bool MatchAt(const std::string &sub, const std::string &s, int32_t pos) {
    return FitsAt(sub, s, pos) &&
           CompareBytes(sub.data(), s.data() + pos - 1, static_cast<int32_t>(sub.size())) == 1;
}

bool MatchAtNoCase(const std::string &sub, const std::string &s, int32_t pos) {
    return FitsAt(sub, s, pos) && CompareBytesNoCase(sub.data(), s.data() + pos - 1,
                                                     static_cast<int32_t>(sub.size())) == 1;
}

bool StartsWith(const std::string &sub, const std::string &s, bool caseSensitive) {
    return caseSensitive ? MatchAt(sub, s, 1) : MatchAtNoCase(sub, s, 1);
}

bool EndsWith(const std::string &sub, const std::string &s, bool caseSensitive) {
    const int32_t pos = static_cast<int32_t>(s.size()) - static_cast<int32_t>(sub.size()) + 1;
    return caseSensitive ? MatchAt(sub, s, pos) : MatchAtNoCase(sub, s, pos);
}

std::string RemovePrefix(const std::string &s, const std::string &sub, bool caseSensitive) {
    if (!StartsWith(sub, s, caseSensitive)) return s;
    return CopyFrom(s, static_cast<int32_t>(sub.size()) + 1);
}

std::string RemoveSuffix(const std::string &s, const std::string &sub, bool caseSensitive) {
    if (!EndsWith(sub, s, caseSensitive)) return s;
    return s.substr(0, s.size() - sub.size());
}

void SplitKeyPath(const std::string &path, std::string &keyHead, std::string &keyRest) {
    std::string trimmed = RemoveSuffix(RemovePrefix(path, "\\", false), "\\", false);
    const int32_t slash = FindCharFrom('\\', trimmed, 0);
    if (slash > 0) {
        keyHead = CopyLeft(trimmed, slash - 1);
        keyRest = CopyFrom(trimmed, slash + 1);
    } else {
        keyHead = trimmed;
        keyRest.clear();
    }
}

std::string RegReadString(HKEY root, const std::string &subKey, const std::string &valueName) {
    TRegKey key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
        return std::string();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ || size <= 1)
        return std::string();
    // A value stored without its terminating zero fills the whole buffer, so the buffer has
    // room for size bytes and the text keeps only the first size - 1 of them.
    std::vector<char> buffer(size, '\0');
    DWORD capacity = size;
    // The second query is not examined: a value changed in between leaves zeros or a cut text.
    RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, nullptr,
                     reinterpret_cast<BYTE *>(buffer.data()), &capacity);
    return std::string(buffer.data(), size - 1);
}

bool RegWriteValue(HKEY root, const std::string &subKey, const std::string &valueName,
                   DWORD valueType, const void *data, int32_t size) {
    if (size < 0) return false;
    TRegKey key;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    // A null name is the key's default value; an empty C string would work as well.
    return RegSetValueExA(key.Get(), valueName.empty() ? nullptr : valueName.c_str(), 0, valueType,
                          static_cast<const BYTE *>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

void RegWriteString(HKEY root, const std::string &subKey, const std::string &valueName,
                    const std::string &text) {
    RegWriteValue(root, subKey, valueName, REG_SZ, text.c_str(),
                  static_cast<int32_t>(text.size()) + 1);
}

bool RegDeleteKeyPath(HKEY root, const std::string &path) {
    std::string keyHead, keyRest;
    SplitKeyPath(path, keyHead, keyRest);
    // With no rest the platform would be asked to delete the opened key itself: a one-component
    // path, or an empty one naming the root, is refused instead.
    if (keyRest.empty()) return false;
    TRegKey key;
    if (RegOpenKeyExA(root, keyHead.c_str(), 0, KEY_WRITE, key.Put()) != ERROR_SUCCESS)
        return false;
    return RegDeleteKeyA(key.Get(), keyRest.c_str()) == ERROR_SUCCESS;
}

} // namespace mv
