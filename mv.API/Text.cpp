// Path and text helpers, with the double-byte rules of the ANSI code page.
#include "mv.API.h"

#include <bitset>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace mv {

namespace {

bool dbcsEnabled = false;
std::bitset<256> leadByteSet;

// The module reads the code page before the program's first step.
struct TLocaleInit {
    TLocaleInit() { InitLocaleInfo(); }
} localeInit;

} // namespace

std::string WideToAnsi(const std::wstring &text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                            nullptr, nullptr);
    return result;
}

std::wstring AnsiToWide(const std::string &text) {
    if (text.empty()) return std::wstring();
    int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(size > 0 ? size : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &result[0],
                            size);
    return result;
}

void LoadLeadBytes(bool enabled, const BYTE leadByteRanges[12]) {
    dbcsEnabled = enabled;
    leadByteSet.reset();
    if (!enabled) return;
    for (int i = 0; i < 12; i += 2) {
        const BYTE low = leadByteRanges[i];
        const BYTE high = leadByteRanges[i + 1];
        if (low == 0 && high == 0) break;
        for (int b = low; b <= high; ++b)
            leadByteSet.set(b);
    }
}

void InitLocaleInfo() {
    BYTE ranges[12] = {};
    const bool enabled = GetSystemMetrics(SM_DBCSENABLED) != 0;
    CPINFO info;
    // Without code-page information the set stays empty.
    if (enabled && GetCPInfo(CP_ACP, &info)) memcpy(ranges, info.LeadByte, sizeof ranges);
    LoadLeadBytes(enabled, ranges);
}

bool DbcsEnabled() {
    return dbcsEnabled;
}

bool IsLeadByte(unsigned char b) {
    return leadByteSet.test(b);
}

const char *FindFirstChar(const char *text, char c) {
    for (const char *p = text;; ++p) {
        if (*p == c) return p;
        if (*p == '\0') return nullptr;
    }
}

const char *FindLastChar(const char *text, char c) {
    if (c == '\0') return FindFirstChar(text, c);
    const char *last = nullptr;
    for (const char *p = FindFirstChar(text, c); p; p = FindFirstChar(p + 1, c))
        last = p;
    return last;
}

const char *FindLastOfChars(const char *text, const char *charSet) {
    const char *last = nullptr;
    const char *p = text;
    for (; *p != '\0'; ++p)
        if (strchr(charSet, *p)) last = p;
    return last ? last : p;
}

TByteKind TextByteKind(const char *text, int32_t index) {
    if (!text || text[index] == '\0') return SingleByte;
    const auto isLead = [](char c) { return IsLeadByte(static_cast<unsigned char>(c)); };
    if (index == 0) return isLead(text[0]) ? LeadByte : SingleByte;
    int32_t k = 0;
    while (index - 1 - k >= 0 && isLead(text[index - 1 - k]))
        ++k;
    if (k % 2 == 1) return TrailByte;
    return isLead(text[index]) ? LeadByte : SingleByte;
}

TByteKind StringByteKind(const std::string &s, int32_t position) {
    if (!dbcsEnabled) return SingleByte;
    return TextByteKind(s.c_str(), position - 1);
}

int32_t LastDelimiter(const char *delimiters, const std::string &s) {
    for (int32_t i = static_cast<int32_t>(s.size()); i > 0; --i) {
        const char b = s[i - 1];
        if (b != '\0' && FindFirstChar(delimiters, b)) {
            if (StringByteKind(s, i) != TrailByte) return i;
            --i; // step over the lead byte as well
        }
    }
    return 0;
}

std::string ExtractFilePath(const std::string &path) {
    return path.substr(0, LastDelimiter("\\:", path));
}

std::string ExtractFileName(const std::string &path) {
    const char *text = path.c_str();
    const char *p = FindLastOfChars(text, ":\\");
    return *p == '\0' ? std::string(text) : std::string(p + 1);
}

std::string ExtractFileExt(const std::string &path) {
    return std::string(FindLastOfChars(path.c_str(), "."));
}

std::string ExtractFileNameWithoutExt(const std::string &path) {
    const std::string name = ExtractFileName(path);
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}

std::string IncludeTrailingChar(const std::string &s, char c) {
    if (!s.empty() && s.back() == c) return s;
    return s + c;
}

std::string IncludeTrailingBackslash(const std::string &s) {
    return IncludeTrailingChar(s, '\\');
}

std::wstring IncludeTrailingBackslashW(const std::wstring &w) {
    if (!w.empty() && w.back() == L'\\') return w;
    return w + L'\\';
}

bool DirectoryExists(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::string &path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string IntToStr(int32_t value) {
    // Through 64 bits so that the smallest value negates safely.
    int64_t v = value;
    std::string digits;
    const bool negative = v < 0;
    if (negative) v = -v;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + v % 10));
        v /= 10;
    } while (v != 0);
    return negative ? "-" + digits : digits;
}

std::string FloatToStr(double value, int32_t width, int32_t decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 30) decimals = 30;
    // The program never calls setlocale, so the "C" rules hold: the point is always ".".
    char buffer[400];
    int n = snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(decimals), value);
    std::string text(buffer, n > 0 ? std::min<size_t>(n, sizeof buffer - 1) : 0);
    if (width > 0 && static_cast<int32_t>(text.size()) < width)
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    return text;
}

std::wstring SystemErrorText(DWORD error) {
    TLocalText buffer;
    // The text is allocated by the call; inserts are left as they are, since there are no
    // arguments to put in.
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<PWSTR>(buffer.Put()), 0, nullptr);
    std::wstring text(buffer.Get() ? buffer.Get() : L"", buffer.Get() ? length : 0);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace mv
