#include "pack/PathPattern.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Splits at '/' and '\', dropping empty components (a leading or doubled
// separator).
void SplitPath(std::string_view path, std::vector<std::string_view>& parts) {
    parts.clear();
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i])) continue;
        if (i > start) parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
}

}  // namespace

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

// Greedy matching that falls back to the last '*' on a mismatch: linear in
// practice, and never exponential however many stars the pattern holds.
bool MatchName(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == Lower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

PathPattern::PathPattern(std::string_view text) {
    std::string lowered;
    for (char c : text) lowered += IsSeparator(c) ? '/' : Lower(c);
    nameOnly = lowered.find('/') == std::string::npos;
    std::vector<std::string_view> parts;
    SplitPath(lowered, parts);
    for (std::string_view part : parts) components.emplace_back(part);
    // "models/" and "models/**" both mean what lies below models: a final
    // "**" must take at least one component, which "**/*" says.
    bool below = !nameOnly && !lowered.empty() && lowered.back() == '/';
    if (below && (components.empty() || components.back() != "**")) components.emplace_back("**");
    if (!components.empty() && components.back() == "**" && !nameOnly) components.emplace_back("*");
}

bool PathPattern::Matches(std::string_view path) const {
    if (nameOnly) {
        size_t slash = path.find_last_of("/\\");
        std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        return components.size() == 1 && MatchName(components[0], name);
    }
    // Reused between calls: the tree filter matches every file of a pack.
    thread_local std::vector<std::string_view> parts;
    SplitPath(path, parts);
    // The same fall-back-to-the-last-star walk as MatchName, one level up:
    // "**" stands for any run of components, every other pattern component
    // for exactly one.
    size_t i = 0, j = 0;
    size_t starI = std::string::npos, starJ = 0;
    while (j < parts.size()) {
        if (i < components.size() && components[i] == "**") {
            starI = i++;
            starJ = j;
        } else if (i < components.size() && MatchName(components[i], parts[j])) {
            ++i;
            ++j;
        } else if (starI != std::string::npos) {
            i = starI + 1;
            j = ++starJ;
        } else {
            return false;
        }
    }
    while (i < components.size() && components[i] == "**") ++i;
    return i == components.size() && !components.empty();
}
