// qavctl: the scriptable front end of the tool set. The commands and their
// help are in the command table (CommandTable.cpp).
#include <cstdio>
#include <cstring>
#include <string>

#include "Commands.h"
#include "qav/Version.h"

namespace qavctl {

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "qavctl: %s\n", message.c_str());
    return 2;
}

} // namespace qavctl

namespace {

using qavctl::Command;

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: qavctl COMMAND [ARGUMENTS]\n"
                      "       qavctl help COMMAND | qavctl COMMAND --help\n"
                      "       qavctl --version\n\ncommands:\n");
    for (const Command& c : qavctl::AllCommands()) std::fprintf(out, "  %-9s%s\n", c.name, c.summary);
    std::fprintf(out,
                 "\nEvery command takes --json: its results as one JSON document on standard output;\n"
                 "after -- the words go to the command as they are (a value \"--json\" or \"--help\").\n"
                 "Errors go to standard error. Exit status: 0 success, 1 the printer or the library\n"
                 "reported a failure, 2 bad usage or input.\n");
}

// Prints the lines of a text, each after the indent.
void PrintLines(const char* text, const std::string& indent, const std::string& firstIndent)
{
    bool first = true;
    for (const char* line = text; *line;) {
        const char* end = std::strchr(line, '\n');
        const size_t length = end ? static_cast<size_t>(end - line) : std::strlen(line);
        std::printf("%s%.*s\n", (first ? firstIndent : indent).c_str(), static_cast<int>(length), line);
        first = false;
        line += length + (end ? 1 : 0);
    }
}

void PrintCommandHelp(const Command& c)
{
    // Further lines of the usage stand under the first argument.
    const std::string lead = std::string("usage: qavctl ") + c.name + " ";
    PrintLines(c.usage, std::string(lead.size(), ' '), lead);
    std::string summary = c.summary;
    if (!summary.empty() && summary[0] >= 'a' && summary[0] <= 'z') summary[0] = static_cast<char>(summary[0] - 'a' + 'A');
    std::printf("\n%s.\n\noptions:\n%s\nexample:\n", summary.c_str(), c.details);
    PrintLines(c.example, "  ", "  ");
}

bool IsHelpWord(const std::string& word) { return word == "--help" || word == "-h"; }

} // namespace

int main(int argc, char** argv)
{
    const qavctl::Args words(argv + 1, argv + argc);
    if (words.empty()) {
        PrintHelp(stderr);
        return 2;
    }
    if (IsHelpWord(words[0]) || words[0] == "help") {
        if (words.size() < 2) {
            PrintHelp(stdout);
            return 0;
        }
        const Command* c = qavctl::FindCommand(words[1]);
        if (!c) return qavctl::UsageError("unknown command '" + words[1] + "' (qavctl --help lists them)");
        PrintCommandHelp(*c);
        return 0;
    }
    if (words[0] == "--version" || words[0] == "version") {
        std::printf("qavctl (%s) %s\n", QAV_PRODUCT_NAME, QAV_VERSION);
        return 0;
    }
    const Command* c = qavctl::FindCommand(words[0]);
    if (!c) return qavctl::UsageError("unknown command '" + words[0] + "' (qavctl --help lists them)");

    // --help anywhere (-h first) answers with the command's help; --json
    // anywhere switches the output, and the command sees its other words.
    // After "--" every word goes to the command as it is (a printer name
    // "--help" is a value like any other).
    qavctl::Output output;
    qavctl::Args args;
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--") {
            args.insert(args.end(), words.begin() + static_cast<long>(i) + 1, words.end());
            break;
        }
        if (words[i] == "--help" || (i == 1 && words[i] == "-h")) {
            PrintCommandHelp(*c);
            return 0;
        }
        if (words[i] == "--json") output.json = true;
        else args.push_back(words[i]);
    }
    return c->run(args, output);
}
