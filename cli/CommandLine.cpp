#include "cli/CommandLine.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsHelp(const char* word) { return std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0; }

const OptionSpec* FindOption(const CommandSpec& command, const char* word) {
    for (const OptionSpec& option : command.options)
        if (std::strcmp(option.name, word) == 0) return &option;
    return nullptr;
}

// The first two options of one group that were both given, if any.
bool ConflictingOptions(const ParsedArgs& args, std::string& error) {
    for (size_t i = 0; i < args.given.size(); ++i)
        for (size_t j = i + 1; j < args.given.size(); ++j) {
            const OptionSpec* a = args.given[i].first;
            const OptionSpec* b = args.given[j].first;
            if (a->group != 0 && a->group == b->group && a != b) {
                error = std::string(a->name) + " and " + b->name + " cannot be combined";
                return true;
            }
        }
    return false;
}

bool OperandCountFits(const CommandSpec& command, size_t count) {
    if (count < size_t(command.minOperands)) return false;
    return command.maxOperands < 0 || count <= size_t(command.maxOperands);
}

// Appends text with every line after the first indented by indent spaces.
void AppendIndented(std::string& out, const char* text, size_t indent) {
    for (const char* p = text; *p != '\0'; ++p) {
        out += *p;
        if (*p == '\n' && p[1] != '\0') out.append(indent, ' ');
    }
    out += '\n';
}

// "  NAME   text", the text starting at column indent, or on the next line
// when the name does not leave room for it.
void AppendEntry(std::string& out, const std::string& name, const char* text, size_t indent) {
    out += "  " + name;
    if (2 + name.size() + 1 > indent) {
        out += '\n';
        out.append(indent, ' ');
    } else {
        out.append(indent - 2 - name.size(), ' ');
    }
    AppendIndented(out, text, indent);
}

int UsageError(const std::string& error, const std::string& usage) {
    std::fprintf(stderr, "quillon: %s\n%s", error.c_str(), usage.c_str());
    return 2;
}

}  // namespace

bool ParsedArgs::Has(const char* name) const { return Value(name) != nullptr; }

const char* ParsedArgs::Value(const char* name) const {
    const char* value = nullptr;
    for (const auto& [option, text] : given)
        if (std::strcmp(option->name, name) == 0) value = text;
    return value;
}

ParseOutcome ParseArguments(const CommandSpec& command, int argc, char** argv, ParsedArgs& args, std::string& error) {
    args = ParsedArgs();
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const char* word = argv[i];
        if (optionsEnded || word[0] != '-' || word[1] == '\0') {
            args.operands.push_back(word);
            continue;
        }
        if (std::strcmp(word, "--") == 0) {
            optionsEnded = true;
            continue;
        }
        if (IsHelp(word)) return ParseOutcome::Help;
        const OptionSpec* option = FindOption(command, word);
        if (option == nullptr) {
            error = std::string("unknown option ") + word;
            return ParseOutcome::UsageError;
        }
        // A flag is recorded with its own name as value, so Has() sees it.
        const char* value = option->name;
        if (option->value != nullptr) {
            if (i + 1 >= argc) {
                error = std::string(option->name) + " needs " + option->value;
                return ParseOutcome::UsageError;
            }
            value = argv[++i];
            if (*value == '\0') {
                error = std::string(option->name) + " needs " + option->value;
                return ParseOutcome::UsageError;
            }
        }
        args.given.emplace_back(option, value);
    }
    if (ConflictingOptions(args, error)) return ParseOutcome::UsageError;
    for (const OptionSpec& option : command.options)
        if (option.required && !args.Has(option.name)) {
            error = std::string(command.name) + " needs " + option.name + (option.value ? " " : "") +
                    (option.value ? option.value : "");
            return ParseOutcome::UsageError;
        }
    if (!OperandCountFits(command, args.operands.size())) {
        error = command.operandMisuse;
        return ParseOutcome::UsageError;
    }
    return ParseOutcome::Run;
}

std::string CommandUsage(const CommandSpec& command) {
    std::string out = std::string("usage: quillon ") + command.name + " " + command.synopsis + "\n\n";
    out += command.description;
    if (!command.options.empty()) out += "\noptions:\n";
    for (const OptionSpec& option : command.options) {
        std::string name = option.name;
        if (option.value != nullptr) name = name + " " + option.value;
        AppendEntry(out, name, option.help, 11);
    }
    return out;
}

std::string ProgramUsage(const ProgramSpec& program) {
    std::string out = program.intro;
    out += "\ncommands:\n";
    for (const CommandSpec& command : program.commands)
        AppendEntry(out, std::string(command.name) + " " + command.synopsis, command.summary, 19);
    out += '\n';
    out += program.outro;
    return out;
}

int RunCommandLine(const ProgramSpec& program, int argc, char** argv) {
    if (argc < 2) return UsageError("no command given", ProgramUsage(program));
    const char* name = argv[1];
    if (IsHelp(name) || std::strcmp(name, "help") == 0) return std::fputs(ProgramUsage(program).c_str(), stdout), 0;
    if (std::strcmp(name, "--version") == 0) return std::printf("quillon %s\n", program.version), 0;
    for (const CommandSpec& command : program.commands) {
        if (std::strcmp(command.name, name) != 0) continue;
        ParsedArgs args;
        std::string error;
        switch (ParseArguments(command, argc - 2, argv + 2, args, error)) {
        case ParseOutcome::Help:
            return std::fputs(CommandUsage(command).c_str(), stdout), 0;
        case ParseOutcome::UsageError:
            return UsageError(error, CommandUsage(command));
        case ParseOutcome::Run:
            break;
        }
        return command.run(args);
    }
    return UsageError(std::string("unknown command '") + name + "'", ProgramUsage(program));
}
