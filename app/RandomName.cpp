// New all-digit folder names.
#include "App.h"

namespace {

// After this many random 5-digit collisions the parent is nearly full, and an ordered walk
// through all 100000 names is both cheaper and sure to end.
const int MaxRandomRedraws = 1000;
const int32_t RedrawDigits = 5;
const int32_t FiveDigitNames = 100000;

std::string RandomDigits(int32_t count) {
    std::string digits;
    for (int32_t i = 0; i < count; ++i)
        digits += static_cast<char>('0' + RandomBelow(10));
    return digits;
}

std::string FiveDigits(int32_t value) {
    std::string digits(RedrawDigits, '0');
    for (int32_t i = RedrawDigits - 1; i >= 0; --i, value /= 10)
        digits[i] = static_cast<char>('0' + value % 10);
    return digits;
}

// The first free 5-digit name from a random start; when every one is taken, the start itself,
// so that the move fails and is reported instead of the search never ending.
std::string OrderedFreeName(const std::string &parent) {
    const int32_t start = RandomBelow(FiveDigitNames);
    for (int32_t step = 0; step < FiveDigitNames; ++step) {
        const std::string candidate = parent + FiveDigits((start + step) % FiveDigitNames);
        if (!mv::DirectoryExists(candidate)) return candidate;
    }
    return parent + FiveDigits(start);
}

} // namespace

std::wstring MakeRandomName(const std::wstring &currentPath, int32_t count) {
    // The parent goes through the ANSI code page on purpose: the existence test is the ANSI
    // one, and a parent it cannot spell must give a target whose move fails and is reported.
    const std::string parent = mv::ExtractFilePath(mv::WideToAnsi(currentPath));
    std::string candidate = parent + RandomDigits(count);
    for (int redraws = 0; mv::DirectoryExists(candidate); ++redraws) {
        if (redraws == MaxRandomRedraws) return mv::AnsiToWide(OrderedFreeName(parent));
        candidate = parent + RandomDigits(RedrawDigits);
    }
    return mv::AnsiToWide(candidate);
}
