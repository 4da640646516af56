// The one INI setting: an integer read through the profile API, never written.
#include "mv.API.h"

namespace mv {

namespace {

const DWORD IniBufferSize = 1024;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string IniReadString(const std::string &fileName, const std::string &section,
                          const std::string &key, const std::string &defaultValue) {
    char buffer[IniBufferSize] = {};
    // c_str() of an empty string is "", never null: a null section or key would make the
    // call list section or key names instead of reading one value.
    const DWORD length =
        GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                                 IniBufferSize, fileName.c_str());
    return std::string(buffer, length);
}

int32_t StrToIntDef(const std::string &text, int32_t defaultValue) {
    if (text.empty() || text.size() >= 256) return defaultValue;
    const size_t end = text.size();
    size_t i = 0;
    while (i < end && (text[i] == ' ' || text[i] == '\t'))
        ++i;

    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }

    uint64_t base = 10;
    if (i < end) {
        const char c = text[i];
        if (c == '$' || c == 'x' || c == 'X') {
            base = 16;
            ++i;
        } else if (c == '0' && i + 1 < end && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        } else if (c == '&') {
            base = 8;
            ++i;
        } else if (c == '%') {
            base = 2;
            ++i;
        }
    }
    if (i >= end) return defaultValue;
    while (i + 1 < end && text[i] == '0')
        ++i;

    uint64_t limit = UINT64_MAX;
    if (base == 10) limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
    uint64_t value = 0;
    for (; i < end; ++i) {
        const int digit = DigitValue(text[i]);
        if (digit < 0 || static_cast<uint64_t>(digit) >= base) return defaultValue;
        if (value > (limit - digit) / base) return defaultValue;
        value = value * base + digit;
    }
    if (negative) value = 0 - value;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int32_t IniReadInteger(const std::string &fileName, const std::string &section,
                       const std::string &key, int32_t defaultValue) {
    std::string value = IniReadString(fileName, section, key, std::string());
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        value.replace(0, 2, "$");
    return StrToIntDef(value, defaultValue);
}

} // namespace mv
