// ASCII case folding, the one way Quillon ignores letter case: game paths and
// extensions compare ignoring ASCII case only, whatever the system code page.
#pragma once

#include <string>

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string AsciiLowered(std::string s) {
    for (char& c : s) c = AsciiLower(c);
    return s;
}
inline std::string AsciiUppered(std::string s) {
    for (char& c : s) c = AsciiUpper(c);
    return s;
}
