// qavctl: the scriptable front end of the tool set.
#include <cstdio>
#include <cstring>

#include "Commands.h"

namespace qavctl {

const std::vector<Command>& AllCommands()
{
    static const std::vector<Command> commands = {
        {"get", "[-v1|-v2c] [-c COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID ...", "read objects (SNMP GET)", RunGet},
        {"next", "[-v1|-v2c] [-c COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID ...", "read the following objects (SNMP GET-NEXT)",
         RunNext},
        {"set", "[-v1|-v2c] [-w COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID TYPE VALUE ...", "write objects (SNMP SET)",
         RunSet},
        {"groups", "FILE", "validate a group file and print its groups, members and printers", RunGroups},
        {"config", "FILE SECTION KEY [VALUE]",
         "read a settings key, or write it in place (a bare FILE name is in the data folder); only the\n"
         "           product's files and keys, and values of the key's type", RunConfig},
        {"discover", "[--range A-B ... | --to ADDRESS] [--seconds N]",
         "print the addresses that answer the discovery (over the ranges, else by broadcast, for N s, default 5;\n"
         "           a range given last address first is searched from its lower end)",
         RunDiscover},
        {"search", "",
         "run the device search of QAVSearchConfig.qso into the group file of the data folder", RunSearch},
    };
    return commands;
}

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "qavctl: %s\n", message.c_str());
    return 2;
}

} // namespace qavctl

namespace {

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: qavctl COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const auto& c : qavctl::AllCommands()) std::fprintf(out, "  %-8s %s\n           %s\n", c.name, c.summary, c.usage);
    std::fprintf(out,
                 "\nOBJECT is a number of the object table (201 is the printer name; 121.1 is object 121\n"
                 "with instance 1); anything else is taken as a dotted OID. TYPE is one of Integer,\n"
                 "String, OID, IPAddress, Counter32, Gauge32, Timeticks, Counter64 (or i s o a c g t C),\n"
                 "or - for the object table's own type. Exit status: 0 success, 1 the printer or the\n"
                 "library reported a failure, 2 bad usage or input.\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const auto& c : qavctl::AllCommands()) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(qavctl::Args(argv + 2, argv + argc));
    }
    return qavctl::UsageError(std::string("unknown command '") + argv[1] + "' (qavctl --help lists them)");
}
