// Path patterns over in-pack paths, the one matcher behind `quillon list`,
// `quillon extract` and the tree filter of the Windows program.
//
//   *    any run of characters within one folder or file name
//   ?    exactly one character within a name
//   **   as a whole component: any number of folders (zero or more; at the
//        end of the pattern, one or more: `materials/**` is what lies below
//        `materials`, not a file of that name)
//
// Letters are compared ignoring ASCII case; '/' and '\' both separate
// components. A pattern without a separator is matched against the file
// name alone, so `*.vmt` finds materials in every folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class PathPattern {
public:
    explicit PathPattern(std::string_view text);

    // path: components joined with '/' or '\', as TreeItemPath gives them.
    bool Matches(std::string_view path) const;
    bool NameOnly() const { return nameOnly; }

private:
    std::vector<std::string> components;  // lower-cased
    bool nameOnly = false;
};

// Whether text holds a wildcard and so is read as a pattern, not as a name.
bool HasWildcard(std::string_view text);

// One name against one component pattern (no separators in either).
// pattern must be lower-cased; name is compared ignoring ASCII case.
bool MatchName(std::string_view pattern, std::string_view name);
