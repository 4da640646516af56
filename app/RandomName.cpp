// New all-digit folder names.
#include "App.h"

namespace {

// After this many taken 5-digit names the parent is nearly full, and an ordered walk through
// all 100000 names is both cheaper and sure to end.
const int32_t MaxRandomRedraws = 1000;
const int32_t RedrawDigits = 5;
const int32_t FiveDigitNames = 100000;

std::wstring RandomDigits(int32_t count) {
    std::wstring digits;
    for (int32_t i = 0; i < count; ++i)
        digits += static_cast<wchar_t>(L'0' + RandomBelow(10));
    return digits;
}

std::wstring FiveDigits(int32_t value) {
    std::wstring digits(RedrawDigits, L'0');
    for (int32_t i = RedrawDigits - 1; i >= 0; --i, value /= 10)
        digits[i] = static_cast<wchar_t>(L'0' + value % 10);
    return digits;
}

} // namespace

TNameDraw StartNameDraw(const std::wstring &currentPath, int32_t count) {
    TNameDraw draw;
    // The parent goes through the ANSI code page on purpose: a parent that it cannot spell gives
    // a target whose move fails and is reported, instead of one in another folder.
    draw.parent = mv::AnsiToWide(mv::ExtractFilePath(mv::WideToAnsi(currentPath)));
    draw.ownName = currentPath.substr(currentPath.find_last_of(L"\\/") + 1);
    draw.count = count;
    return draw;
}

std::wstring MakeRandomName(TNameDraw &draw) {
    for (;;) {
        const int32_t attempt = draw.attempts++;
        std::wstring digits;
        if (attempt == 0) {
            digits = RandomDigits(draw.count);
        } else if (attempt <= MaxRandomRedraws) {
            digits = RandomDigits(RedrawDigits);
        } else if (attempt <= MaxRandomRedraws + FiveDigitNames) {
            if (attempt == MaxRandomRedraws + 1) draw.orderedStart = RandomBelow(FiveDigitNames);
            digits =
                FiveDigits((draw.orderedStart + attempt - MaxRandomRedraws - 1) % FiveDigitNames);
        } else {
            return std::wstring();
        }
        // The folder's own name is taken by the folder itself; no need to ask the file system.
        if (!SamePath(digits, draw.ownName)) return draw.parent + digits;
    }
}
