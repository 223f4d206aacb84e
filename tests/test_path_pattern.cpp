#include "pack/PathPattern.h"

#include <gtest/gtest.h>

TEST(PathPatternTest, Table) {
    struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        // Without a separator the pattern looks at the file name only, in any folder.
        {"*.vmt", "materials/asphalt/A.VMT", true},
        {"*.VMT", "materials/asphalt/a.vmt", true},
        {"*.vmt", "materials/a.vmt.bak", false},
        {"?.txt", "x/a.txt", true},
        {"?.txt", "x/ab.txt", false},
        {"regent.dlg", "dlg/main characters/Regent.dlg", true},
        // A pattern equal to a folder's name names files, not what the folder holds.
        {"materials", "materials/a.vmt", false},
        {"materials", "x/materials", true},
        // '*' and '?' stay within one component.
        {"materials/*.vmt", "materials/a.vmt", true},
        {"materials/*.vmt", "materials/x/a.vmt", false},
        {"*/*", "a/b", true},
        {"*/*", "a/b/c", false},
        {"*/*", "a", false},
        {"a?c/*", "a/c/x", false},
        // "**" at the start, in the middle and at the end.
        {"**/*.vmt", "a.vmt", true},
        {"**/*.vmt", "a/b/c.vmt", true},
        {"models/**/g_*.mdl", "models/g_x.mdl", true},
        {"models/**/g_*.mdl", "Models/Weapons/Sword/G_Sword.MDL", true},
        {"models/**/g_*.mdl", "models/weapons/sword.mdl", false},
        {"models/**/g_*.mdl", "other/models/g_x.mdl", false},
        {"materials/**", "materials/a.vmt", true},
        {"materials/**", "materials/a/b/c.vmt", true},
        {"materials/**", "materials", false},
        {"materials/", "materials/a/b.vmt", true},
        {"**/thug/**", "sound/dlg/santa monica/thug/line11_col_e.wav", true},
        {"**/thug/**", "sound/dlg/thugs/line11_col_e.wav", false},
        {"**", "any/depth/file", true},
        {"a/**/b/**/c", "a/x/b/y/z/c", true},
        {"a/**/b/**/c", "a/x/c/y/b", false},
        // Separators: either kind, in pattern and path; stray ones are ignored.
        {"DLG\\main characters\\*", "dlg/main characters/regent.dlg", true},
        {"dlg/*.dlg", "dlg\\e.dlg", true},
        {"/dlg//e.dlg", "dlg/e.dlg", true},
        // Stars need fall-back, not just the first fit.
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbY", false},
        {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"line1?_col_e.*", "line11_col_e.wav", true},
        {"line1?_col_e.*", "line131_col_e.mp3", false},
        {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathPattern(c.pattern).Matches(c.path), c.matches) << c.pattern << " on " << c.path;
}

TEST(PathPatternTest, WildcardsMakeAPattern) {
    EXPECT_TRUE(HasWildcard("*.vmt"));
    EXPECT_TRUE(HasWildcard("line?.lip"));
    EXPECT_FALSE(HasWildcard("dlg/main characters"));
    EXPECT_TRUE(PathPattern("x.vmt").NameOnly());
    EXPECT_FALSE(PathPattern("a/x.vmt").NameOnly());
}
