#include "Support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace support {

bool MakeDirs(const std::wstring &path) {
    const DWORD attributes = GetFileAttributesW(driver::LongPath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 2) MakeDirs(path.substr(0, slash));
    return CreateDirectoryW(driver::LongPath(path).c_str(), nullptr) != 0;
}

bool WriteBytes(const std::wstring &path, const std::string &bytes) {
    HANDLE file = CreateFileW(driver::LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes.data(), bytes.size(), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool AllDigits(const std::wstring &text) {
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

namespace {

// The files of the tests are small: one read takes them whole.
std::string ReadBytes(const std::wstring &path) {
    HANDLE file = CreateFileW(driver::LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(65536, '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], bytes.size(), &got, nullptr);
    CloseHandle(file);
    return bytes.substr(0, got);
}

void SnapshotInto(const std::wstring &root, const std::wstring relative, std::vector<TEntry> &out) {
    WIN32_FIND_DATAW found;
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = FindFirstFileW(driver::LongPath(folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    const size_t first = out.size();
    do {
        std::wstring name = found.cFileName;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) name += L"@";
        if (name != L"." && name != L"..")
            out.push_back({isFolder, path, name, isFolder ? "" : ReadBytes(root + L"\\" + path)});
    } while (FindNextFileW(find, &found));
    FindClose(find);
    for (size_t i = first, end = out.size(); i < end; ++i)
        if (out[i].folder && out[i].name.back() != L'@') SnapshotInto(root, out[i].path, out);
}

// Draws on a white 32-bit picture of that size; gives the size of the box around every pixel
// that differs from pixels, which then holds the picture.
SIZE Ink(int width, int height, const std::function<void(HDC)> &draw, std::vector<DWORD> &pixels) {
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, 0, 0, 0, 0, 0, 0}, {}};
    DWORD *bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap =
        CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void **>(&bits), nullptr, 0);
    SelectObject(dc, bitmap), PatBlt(dc, 0, 0, width, height, WHITENESS), draw(dc), GdiFlush();
    int left = width, right = -1, top = -1, bottom = -1;
    for (int i = 0; i < width * height; ++i)
        if ((pixels[i] ^ bits[i]) & 0xFFFFFF)
            left = std::min(left, i % width), right = std::max(right, i % width),
            top = top < 0 ? i / width : top, bottom = i / width;
    pixels.assign(bits, bits + width * height);
    DeleteDC(dc), DeleteObject(bitmap);
    return right < 0 ? SIZE{} : SIZE{right - left + 1, bottom - top + 1};
}

} // namespace

SIZE TextSize(const LOGFONTW &logFont, const std::wstring &text, bool ink) {
    HFONT font = CreateFontIndirectW(&logFont);
    SIZE size = {};
    auto draw = [&](HDC dc) {
        SelectObject(dc, font);
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        TextOutW(dc, 10, 10, text.c_str(), static_cast<int>(text.size()));
    };
    std::vector<DWORD> white(1000 * 200, 0xFFFFFF);
    const SIZE drawn = Ink(1000, 200, draw, white);
    DeleteObject(font);
    return ink ? drawn : size;
}

void ExpectLabelInFont(HWND control, const LOGFONTW &font) {
    RECT r;
    GetWindowRect(control, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    auto copy = [&](HDC dc) { BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY); };
    std::vector<DWORD> pixels(width * height);
    // Wine copies a window's drawing to the screen a moment after it is made: the screen is read
    // until it stands still, then until the label's going shows.
    WaitUntil([&] { return Sleep(50), !Ink(width, height, copy, pixels).cx; });
    const std::wstring text = driver::WindowText(control);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    SIZE ink = {};
    WaitUntil([&] { return (ink = Ink(width, height, copy, pixels)).cx > 0; });
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ReleaseDC(nullptr, screen);
    const SIZE whole = TextSize(font, text, true);
    EXPECT_EQ(ink.cx, whole.cx) << Utf8(text) << ": the width of its label on the screen";
    EXPECT_EQ(ink.cy, whole.cy) << Utf8(text) << ": the height of its label on the screen";
}

std::vector<int> ExpectScaled(HWND window, int dpi, std::vector<int> &places96) {
    RECT r;
    GetClientRect(window, &r);
    std::vector<int> places = {r.right, r.bottom};
    std::vector<std::string> names = {"client width", "client height"};
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT *>(&r), 2);
        places.insert(places.end(), {r.left, r.top, r.right - r.left, r.bottom - r.top});
        const std::string control = "control " + std::to_string(names.size() / 4) + " (" +
                                    Utf8(driver::ClassName(c)) + "): ";
        for (const char *number : {"left", "top", "width", "height"})
            names.push_back(control + number);
    }
    if (dpi == 96) places96 = places;
    EXPECT_EQ(places.size(), places96.size()) << "the number of controls";
    for (size_t i = 0; i < std::min(places.size(), places96.size()); ++i)
        EXPECT_EQ(places[i], MulDiv(places96[i], dpi, 96)) << names[i];
    return places;
}

void SetLogPixels(DWORD dpi) {
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi,
                    sizeof dpi);
}

std::vector<TEntry> Snapshot(const std::wstring &root) {
    std::vector<TEntry> out;
    SnapshotInto(root, L"", out);
    return out;
}

std::wstring Shape(const std::vector<TEntry> &tree, const std::wstring &folder) {
    // What each folder holds, found in one pass: a tree of thousands of folders is no rarity.
    std::map<std::wstring, std::vector<const TEntry *>> held;
    for (const TEntry &e : tree) {
        const size_t slash = e.path.find_last_of(L'\\');
        held[slash == std::wstring::npos ? L"" : e.path.substr(0, slash)].push_back(&e);
    }
    std::function<std::wstring(const std::wstring &)> shapeOf = [&](const std::wstring &path) {
        std::vector<std::wstring> parts;
        for (const TEntry *e : held[path])
            parts.push_back(!e->folder ? e->name + L"=" +
                                             std::wstring(e->bytes.begin(), e->bytes.end()) + L";"
                            : e->name.back() == L'@' ? e->name
                                                     : L"(" + shapeOf(e->path) + L")");
        std::sort(parts.begin(), parts.end());
        std::wstring shape;
        for (const std::wstring &part : parts)
            shape += part;
        return shape;
    };
    return shapeOf(folder);
}

void PressKey(HWND window, WORD key, wchar_t character) {
    for (int waited = 0; window && GetForegroundWindow() != window && waited < 5000; waited += 10)
        SetForegroundWindow(window), Sleep(10);
    INPUT input[2] = {};
    for (INPUT &i : input)
        i.type = INPUT_KEYBOARD, i.ki.wVk = key, i.ki.wScan = character,
        i.ki.dwFlags = key ? 0 : KEYEVENTF_UNICODE;
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void ExpectRenamed(const std::vector<TEntry> &before, const std::wstring &root,
                   const std::set<size_t> &lengths, const std::set<std::wstring> &kept) {
    const std::vector<TEntry> after = Snapshot(root);
    EXPECT_EQ(Utf8(Shape(after)), Utf8(Shape(before))) << "a folder or file was lost or moved";
    for (const TEntry &e : after) {
        if (!e.folder || e.name.back() == L'@' || kept.count(e.name)) continue;
        EXPECT_TRUE(AllDigits(e.name) && lengths.count(e.name.size()))
            << "not renamed: " << Utf8(e.path);
        // With no other folder beside it, the first name drawn is free: it has the set length.
        const std::wstring parent = e.path.substr(0, e.path.size() - e.name.size());
        if (std::count_if(after.begin(), after.end(), [&](const TEntry &f) {
                return f.folder && f.path.compare(0, parent.size(), parent) == 0 &&
                       f.path.find(L'\\', parent.size()) == std::wstring::npos;
            }) == 1) {
            EXPECT_EQ(e.name.size(), *lengths.begin()) << "drawn again: " << Utf8(e.path);
        }
    }
}

namespace {

const wchar_t *const PlantedNames[] = {L"uxtheme",   L"comctl32", L"dwmapi",  L"propsys",
                                       L"cryptbase", L"winmm",    L"oleacc",  L"userenv",
                                       L"dbghelp",   L"wtsapi32", L"profapi", L"cryptsp"};
const wchar_t ToolDefaultsKey[] = L"Software\\Wine\\AppDefaults\\FolderRename.exe";

} // namespace

void PlantDlls(const std::wstring &folder, bool plant) {
    const std::wstring planted = driver::OwnFolder() + L"libplanted.dll";
    for (const wchar_t *name : PlantedNames) {
        const std::wstring copy = folder + L"\\" + name + L".dll";
        EXPECT_TRUE(plant ? CopyFileW(planted.c_str(), copy.c_str(), FALSE)
                          : !RemoveDirectoryW((copy + L".loaded").c_str()) &&
                                DeleteFileW(copy.c_str()))
            << "loaded from beside the program, or not planted: " << Utf8(copy);
    }
}

void SetToolDefaults(const wchar_t *version) {
    const std::wstring overrides = ToolDefaultsKey + std::wstring(L"\\DllOverrides");
    RegDeleteTreeW(HKEY_CURRENT_USER, ToolDefaultsKey);
    if (!version) return;
    // version.dll is planted only beside a copy that ends at once.
    driver::PutText(overrides, L"native,builtin", L"version");
    for (const wchar_t *name : PlantedNames)
        driver::PutText(overrides, L"native,builtin", name);
    if (*version) driver::PutText(ToolDefaultsKey, version, L"Version");
}

bool RunHostShell(const std::wstring &command, const std::wstring &workDir) {
    const int code = driver::RunHostShell(command, workDir, 120000);
    if (code < 0)
        ADD_FAILURE() << "the host shell did not start, or did not end within 2 minutes: "
                      << Utf8(command);
    return code == 0;
}

} // namespace support
