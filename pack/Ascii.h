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

// Orders names by their ASCII-lower-cased bytes (as unsigned): <0, 0, >0.
inline int CompareIgnoringCase(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(AsciiLower(a[i]));
        unsigned char y = static_cast<unsigned char>(AsciiLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    return true;
}
