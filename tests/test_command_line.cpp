// The one option parser every command goes through.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

int Ran(const ParsedArgs&) { return 0; }

const CommandSpec kExtract = {"extract", "PACK [ITEM...] -o DIR", "", "",
                              {{"-o", "DIR", "folder", 0, true},
                               {"--flat", nullptr, "flat"},
                               {"--tga", nullptr, "targa", 1},
                               {"--x", nullptr, "meshes", 1}},
                              1, -1, "extract takes a PACK", Ran};

struct Case {
    const char* words;     // space-separated arguments after the command name
    ParseOutcome outcome;
    const char* expected;  // operands joined by '|', then ";" and the options given, or the error
    const char* means;
};

const Case kCases[] = {
    {"p.vpk -o out", ParseOutcome::Run, "p.vpk;-o=out", "a value option takes the next word"},
    {"-o out p.vpk a b", ParseOutcome::Run, "p.vpk|a|b;-o=out", "options may come first"},
    {"p.vpk -o -h", ParseOutcome::Run, "p.vpk;-o=-h", "-h as an option's value is that value"},
    {"p.vpk -o out -- -h --x", ParseOutcome::Run, "p.vpk|-h|--x;-o=out", "-- ends the options"},
    {"p.vpk - -o out", ParseOutcome::Run, "p.vpk|-;-o=out", "a lone - is an operand"},
    {"p.vpk -o a -o b --flat", ParseOutcome::Run, "p.vpk;-o=a|-o=b|--flat=--flat", "every occurrence kept"},
    {"p.vpk -h", ParseOutcome::Help, "", "-h asks for help"},
    {"--help --bogus", ParseOutcome::Help, "", "help wins over a later error"},
    {"p.vpk --bogus -o out", ParseOutcome::UsageError, "unknown option --bogus", "unknown options are refused"},
    {"p.vpk -o", ParseOutcome::UsageError, "-o needs DIR", "a value option at the end"},
    {"p.vpk --tga --x -o d", ParseOutcome::UsageError, "--tga and --x cannot be combined", "one group, one option"},
    {"p.vpk --tga --tga -o d", ParseOutcome::Run, "p.vpk;--tga=--tga|--tga=--tga|-o=d", "repeating is no conflict"},
    {"p.vpk", ParseOutcome::UsageError, "extract needs -o DIR", "a required option"},
    {"-o d", ParseOutcome::UsageError, "extract takes a PACK", "too few operands"},
    {"-- -o d", ParseOutcome::UsageError, "extract needs -o DIR", "after --, -o is an operand"},
};

// Words of a command line, as main receives them.
struct Argv {
    std::vector<std::string> words;
    std::vector<char*> pointers;
    explicit Argv(const char* text) {
        std::istringstream in(text);
        for (std::string word; in >> word;) words.push_back(word);
        for (std::string& word : words) pointers.push_back(word.data());
    }
    int Count() const { return int(pointers.size()); }
};

std::string Describe(const ParsedArgs& args) {
    std::string out;
    for (size_t i = 0; i < args.operands.size(); ++i) out += (i ? "|" : "") + std::string(args.operands[i]);
    out += ";";
    for (size_t i = 0; i < args.given.size(); ++i)
        out += (i ? "|" : "") + std::string(args.given[i].first->name) + "=" + args.given[i].second;
    return out;
}

}  // namespace

TEST(CommandLineTest, ParsesEveryCaseOfTheTable) {
    for (const Case& c : kCases) {
        Argv argv(c.words);
        ParsedArgs args;
        std::string error;
        ParseOutcome outcome = ParseArguments(kExtract, argv.Count(), argv.pointers.data(), args, error);
        ASSERT_EQ(int(outcome), int(c.outcome)) << c.words << ": " << c.means;
        if (outcome == ParseOutcome::Run) {
            EXPECT_EQ(Describe(args), c.expected) << c.means;
        } else if (outcome == ParseOutcome::UsageError) {
            EXPECT_EQ(error, c.expected) << c.means;
        }
    }
}

TEST(CommandLineTest, ValueIsTheLastOccurrenceAndFlagsAreSeen) {
    Argv argv("p.vpk -o a --flat -o b");
    ParsedArgs args;
    std::string error;
    ASSERT_EQ(int(ParseArguments(kExtract, argv.Count(), argv.pointers.data(), args, error)), int(ParseOutcome::Run));
    EXPECT_STREQ(args.Value("-o"), "b");
    EXPECT_TRUE(args.Has("--flat"));
    EXPECT_FALSE(args.Has("--tga"));
    EXPECT_EQ(args.Value("--x"), nullptr);
}

TEST(CommandLineTest, UsageListsEveryOptionOfTheTable) {
    std::string usage = CommandUsage(kExtract);
    EXPECT_EQ(usage.rfind("usage: quillon extract PACK [ITEM...] -o DIR\n", 0), 0u) << usage;
    for (const OptionSpec& option : kExtract.options)
        EXPECT_NE(usage.find("\n  " + std::string(option.name)), std::string::npos) << option.name;
    EXPECT_NE(usage.find("  -o DIR   folder\n"), std::string::npos) << usage;
}
