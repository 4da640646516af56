// mv.API: the small operations both modes of the program rest on.
// Narrow strings (std::string) hold bytes in the system ANSI code page; positions in them
// count from 1 where a function says "position". UTF-16 strings are std::wstring.
// Nothing here throws on purpose or shows UI.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mv {

using TStrArr = std::vector<std::wstring>;

// ---------------------------------------------------------------------------------------------
// Ownership of handles and COM references: each wrapper closes what it holds when it goes out
// of scope, on every path.

template <typename TTraits> class TUniqueHandle {
  public:
    using TValue = typename TTraits::TValue;
    TUniqueHandle() = default;
    explicit TUniqueHandle(TValue value) : value_(value) {}
    ~TUniqueHandle() { Reset(); }
    TUniqueHandle(const TUniqueHandle &) = delete;
    TUniqueHandle &operator=(const TUniqueHandle &) = delete;

    TValue Get() const { return value_; }
    bool Valid() const { return value_ != TTraits::Invalid(); }
    // Releases what is held and hands out the slot for a Win32 out-parameter.
    TValue *Put() {
        Reset();
        return &value_;
    }
    void Reset(TValue value = TTraits::Invalid()) {
        if (Valid()) TTraits::Close(value_);
        value_ = value;
    }

  private:
    TValue value_ = TTraits::Invalid();
};

struct TRegKeyTraits {
    using TValue = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct TFindTraits {
    using TValue = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE find) { FindClose(find); }
};
struct TCoTaskMemTraits {
    using TValue = PWSTR;
    static PWSTR Invalid() { return nullptr; }
    static void Close(PWSTR text) { CoTaskMemFree(text); }
};
struct TKernelTraits {
    using TValue = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct TLocalMemTraits {
    using TValue = PWSTR;
    static PWSTR Invalid() { return nullptr; }
    static void Close(PWSTR text) { LocalFree(text); }
};

using TRegKey = TUniqueHandle<TRegKeyTraits>;
using TKernelHandle = TUniqueHandle<TKernelTraits>;
using TLocalText = TUniqueHandle<TLocalMemTraits>;
using TFindHandle = TUniqueHandle<TFindTraits>;
using TCoTaskText = TUniqueHandle<TCoTaskMemTraits>;

template <typename TInterface> class TComPtr {
  public:
    TComPtr() = default;
    ~TComPtr() { Reset(); }
    TComPtr(const TComPtr &) = delete;
    TComPtr &operator=(const TComPtr &) = delete;
    TComPtr(TComPtr &&other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    TComPtr &operator=(TComPtr &&other) noexcept {
        if (this != &other) {
            Reset();
            ptr_ = other.ptr_;
            other.ptr_ = nullptr;
        }
        return *this;
    }

    TInterface *Get() const { return ptr_; }
    TInterface *operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void **PutVoid() {
        Reset();
        return reinterpret_cast<void **>(&ptr_);
    }
    void Reset() {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

  private:
    TInterface *ptr_ = nullptr;
};

// COM for the calling thread, apartment-threaded, for as long as the object lives.
class TComInit {
  public:
    TComInit() : hr_(CoInitialize(nullptr)) {}
    ~TComInit() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    TComInit(const TComInit &) = delete;
    TComInit &operator=(const TComInit &) = delete;

  private:
    HRESULT hr_;
};

// ---------------------------------------------------------------------------------------------
// Code-page conversions (ANSI code page, flags 0: unmappable characters become the default one).

std::string WideToAnsi(const std::wstring &text);
std::wstring AnsiToWide(const std::string &text);

// ---------------------------------------------------------------------------------------------
// Path and text helpers.

enum TByteKind { SingleByte = 0, LeadByte = 1, TrailByte = 2 };

// Reads double-byte support and the lead bytes of the ANSI code page; runs before main.
void InitLocaleInfo();
// Sets the lead-byte table directly from up to six (low, high) pairs, ending at a 0,0 pair.
void LoadLeadBytes(bool dbcsEnabled, const BYTE leadByteRanges[12]);
bool DbcsEnabled();
bool IsLeadByte(unsigned char b);

// Pointer to the first c in text (the terminator when c is NUL), or nullptr.
const char *FindFirstChar(const char *text, char c);
// Pointer to the last c in text (the terminator when c is NUL), or nullptr.
const char *FindLastChar(const char *text, char c);
// Pointer to the last byte of text found in charSet, or to text's terminator when none is.
const char *FindLastOfChars(const char *text, const char *charSet);
// Kind of the byte at 0-based index by the lead-byte parity rule; SingleByte for null text.
TByteKind TextByteKind(const char *text, int32_t index);
// Kind of the byte at 1-based position; SingleByte whenever double-byte support is off.
TByteKind StringByteKind(const std::string &s, int32_t position);
// 1-based position of the last delimiter byte that is not a trail byte, or 0.
int32_t LastDelimiter(const char *delimiters, const std::string &s);

// Up to and including the last "\" or ":" (double-byte aware); empty when there is none.
std::string ExtractFilePath(const std::string &path);
// The text after the last ":" or "\" byte (plain bytes); the whole path when there is none.
std::string ExtractFileName(const std::string &path);
// From the last "." to the end, the dot included; empty when there is no dot.
std::string ExtractFileExt(const std::string &path);
std::string ExtractFileNameWithoutExt(const std::string &path);
// s when it already ends in c, else s followed by c.
std::string IncludeTrailingChar(const std::string &s, char c);
std::string IncludeTrailingBackslash(const std::string &s);
std::wstring IncludeTrailingBackslashW(const std::wstring &w);

// GetFileAttributesA on the unchanged path; false on any failure.
bool DirectoryExists(const std::string &path);
bool FileExists(const std::string &path);

// The system's own message for a Win32 error code in the user's language, without its trailing
// line breaks; empty when the system has none.
std::wstring SystemErrorText(DWORD error);

std::string IntToStr(int32_t value);
// Fixed point, "." as the point, rounded to `decimals` places, left-padded with spaces to width.
std::string FloatToStr(double value, int32_t width, int32_t decimals);

// ---------------------------------------------------------------------------------------------
// INI integer setting (read only).

// GetPrivateProfileStringA into 1024 bytes: at most 1023 bytes come back.
std::string IniReadString(const std::string &fileName, const std::string &section,
                          const std::string &key, const std::string &defaultValue);
// The number the whole text spells ($, x, 0x hex; & octal; % binary; sign), low 32 bits;
// defaultValue when the text is not a valid number.
int32_t StrToIntDef(const std::string &text, int32_t defaultValue);
// IniReadString with "0x"/"0X" rewritten to "$", then StrToIntDef.
int32_t IniReadInteger(const std::string &fileName, const std::string &section,
                       const std::string &key, int32_t defaultValue);

// ---------------------------------------------------------------------------------------------
// Registry access (ANSI API). Key paths are narrow, components separated by "\".

// The REG_SZ value as size - 1 bytes; empty on any failure or any other type.
std::string RegReadString(HKEY root, const std::string &subKey, const std::string &valueName);
// Creates the key path as needed; false for a negative size or any failure.
bool RegWriteValue(HKEY root, const std::string &subKey, const std::string &valueName,
                   DWORD valueType, const void *data, int32_t size);
// REG_SZ with its terminating zero stored; failures are silent.
void RegWriteString(HKEY root, const std::string &subKey, const std::string &valueName,
                    const std::string &text);
// Deletes one key without subkeys; false when nothing was deleted.
bool RegDeleteKeyPath(HKEY root, const std::string &path);
// Splits at the first backslash after trimming one leading and one trailing backslash.
void SplitKeyPath(const std::string &path, std::string &keyHead, std::string &keyRest);

// Byte routines (not double-byte aware), 1-based positions.
std::string CopyFrom(const std::string &s, int32_t index);
std::string CopyLeft(const std::string &s, int32_t count);
int32_t FindCharFrom(char ch, const std::string &s, int32_t start);
// 0: a < b, 1: equal, 2: a > b, 3: count <= 0.
int32_t CompareBytes(const char *a, const char *b, int32_t count);
int32_t CompareBytesNoCase(const char *a, const char *b, int32_t count);
bool MatchAt(const std::string &sub, const std::string &s, int32_t pos);
bool MatchAtNoCase(const std::string &sub, const std::string &s, int32_t pos);
bool StartsWith(const std::string &sub, const std::string &s, bool caseSensitive);
bool EndsWith(const std::string &sub, const std::string &s, bool caseSensitive);
std::string RemovePrefix(const std::string &s, const std::string &sub, bool caseSensitive);
std::string RemoveSuffix(const std::string &s, const std::string &sub, bool caseSensitive);

// ---------------------------------------------------------------------------------------------
// Shortcut files. COM must be initialised on the calling thread.

enum TLinkLocation : uint8_t {
    LinkDesktop = 0,
    LinkStartMenu = 1,
    LinkStartup = 2,
    LinkPrograms = 3,
    LinkSendTo = 4,
    LinkQuickLaunch = 5,
};

bool HrSucceeded(HRESULT hr);
// CoCreateInstance for IUnknown, in-process or local server; empty on failure.
TComPtr<IUnknown> NewComInstance(const CLSID &classId);
// Creates (or with create false deletes) <known folder>\linkName.lnk. True only when, after a
// create, a file exists there; linkPath then holds its path, else it is empty.
bool MakeShortcut(const std::string &targetPath, const std::string &description,
                  const std::string &arguments, const std::string &linkName,
                  const std::string &subFolder, TLinkLocation location, bool create,
                  std::wstring &linkPath);

// ---------------------------------------------------------------------------------------------
// Window controls (ANSI).

// CreateWindowExA with extended style 0; null on failure.
HWND CreateControl(const std::string &className, const std::string &windowText, DWORD style,
                   int32_t x, int32_t y, int32_t width, int32_t height, HWND parent, HMENU menu,
                   HINSTANCE instance, void *param);
// At most the first 1024 bytes of the control's text.
std::string GetControlText(HWND control);
void SetControlText(HWND control, const std::string &text);
LRESULT GetButtonCheck(HWND button);
void SetButtonCheck(HWND button, int32_t state);

// ---------------------------------------------------------------------------------------------
// Display scale. Sizes are made for 96 DPI and scaled to the window's DPI.

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The window's own DPI where the system knows it (Windows 10 1607 on), else the system's.
uint32_t WindowDpi(HWND window);
// value * dpi / 96, rounded as MulDiv rounds.
int32_t ScaleForDpi(int32_t value, uint32_t dpi);
// GetSystemMetricsForDpi where the system has it, else GetSystemMetrics.
int32_t SystemMetricForDpi(int32_t index, uint32_t dpi);
// Grows a client rectangle to the window rectangle (no menu) with the frame and caption of
// that DPI where the system has AdjustWindowRectExForDpi, else of the system DPI.
bool AdjustWindowRectForDpi(RECT &rect, DWORD style, DWORD exStyle, uint32_t dpi);

// A control's rectangle in its parent's client area at 96 DPI.
struct TPlace {
    int32_t x, y, width, height;
};
// Moves and sizes the window to place, every number scaled to dpi.
void MoveToPlace(HWND window, const TPlace &place, uint32_t dpi);
// Moves and sizes the window to a rectangle in screen coordinates, such as the one that
// WM_DPICHANGED suggests.
void MoveToRect(HWND window, const RECT &rect);

} // namespace mv
