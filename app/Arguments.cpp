// The command line as arguments, and the process-wide random generator.
#include "App.h"

#include <random>

namespace {

bool IsBlank(char c) {
    return c >= 1 && c <= 32;
}

const std::vector<std::string> &Tokens() {
    static const std::vector<std::string> tokens = SplitCommandLine(GetCommandLineA());
    return tokens;
}

std::mt19937 &Generator() {
    static std::mt19937 generator;
    return generator;
}

} // namespace

std::vector<std::string> SplitCommandLine(const char *commandLine) {
    std::vector<std::string> tokens;
    const char *p = commandLine ? commandLine : "";
    for (;;) {
        while (IsBlank(*p))
            ++p;
        if (*p == '\0') break;
        std::string token;
        bool quoted = false;
        while (*p != '\0' && (quoted || !IsBlank(*p))) {
            if (p[0] == '"' && p[1] == '"') {
                p += 2;
            } else if (*p == '"') {
                quoted = !quoted;
                ++p;
            } else {
                token += *p++;
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

int32_t ArgumentCount() {
    return static_cast<int32_t>(Tokens().size()) - 1;
}

std::string GetArgument(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= Tokens().size()) return std::string();
    if (index > 0) return Tokens()[index];
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer);
    if (path.size() > 255) path.resize(255);
    return path;
}

void SeedRandom() {
    SeedRandomWith(GetTickCount());
}

void SeedRandomWith(uint32_t seed) {
    Generator().seed(seed);
}

uint32_t NextRandom() {
    return static_cast<uint32_t>(Generator()());
}

int32_t RandomBelow(int32_t n) {
    uint64_t x = NextRandom();
    return static_cast<int32_t>((x * static_cast<uint64_t>(static_cast<uint32_t>(n))) >> 32);
}
