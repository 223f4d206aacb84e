// The command line as tables: each command names its options, how many
// operands it takes and the function that runs it; one parser reads every
// command's arguments and the usage texts are made from the same tables, so
// what --help says and what the parser accepts cannot drift apart.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct OptionSpec {
    const char* name;   // "--long", "-o"
    const char* value;  // placeholder of the option's value ("DIR"); null for a flag
    const char* help;   // continuation lines after '\n' are indented under the first
    int group = 0;      // options sharing a non-zero group exclude each other
    bool required = false;
};

// What the parser found: the operands in order and the options given.
struct ParsedArgs {
    std::vector<const char*> operands;
    std::vector<std::pair<const OptionSpec*, const char*>> given;

    bool Has(const char* name) const;
    // The value of the last occurrence of name, or null when it was not given.
    const char* Value(const char* name) const;
};

struct CommandSpec {
    const char* name;
    const char* synopsis;     // the arguments, as in "usage: quillon NAME SYNOPSIS"
    const char* summary;      // one line (or '\n'-separated lines) for the command list
    const char* description;  // the body of "quillon NAME --help"
    std::vector<OptionSpec> options;
    int minOperands;
    int maxOperands;             // -1: no limit
    const char* operandMisuse;   // said when the operand count is wrong
    int (*run)(const ParsedArgs& args);
};

enum class ParseOutcome { Run, Help, UsageError };

// Reads argv (the words after the command name) against command's options.
// "-h" and "--help" ask for help wherever an option may stand; "--" ends the
// options, so every later word is an operand even when it starts with '-'; a
// lone "-" is an operand. On UsageError, error says what is wrong.
ParseOutcome ParseArguments(const CommandSpec& command, int argc, char** argv, ParsedArgs& args, std::string& error);

// "quillon NAME --help": synopsis, description and the option table.
std::string CommandUsage(const CommandSpec& command);
struct ProgramSpec {
    const char* intro;  // what the program is, before the command list
    const char* outro;  // global options and exit status, after it
    const char* version;
    std::vector<CommandSpec> commands;
};

// "quillon --help": the intro, every command with its summary, the outro.
std::string ProgramUsage(const ProgramSpec& program);

// Picks the command named by argv[1], parses the rest against its table and
// runs it; "--help", "-h", "help" and "--version" stand in for a command.
// Usage errors print the relevant usage on stderr and give exit status 2.
int RunCommandLine(const ProgramSpec& program, int argc, char** argv);
