// qavctl: the scriptable front end of the tool set.
#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "qav/Version.h"

namespace qavctl {

const std::vector<Command>& AllCommands()
{
    static const std::vector<Command> commands = {
        {"get", "[--port PORT] [-v1|-v2c] [-c COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID ...",
         "read objects (SNMP GET, or a printer command on another port)", RunGet},
        {"next", "[-v1|-v2c] [-c COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID ...", "read the following objects (SNMP GET-NEXT)",
         RunNext},
        {"set", "[--port PORT] [-v1|-v2c] [-w COMMUNITY] ADDRESS OBJECT[.INSTANCE]|OID TYPE VALUE ...",
         "write objects (SNMP SET, or a printer command on another port)", RunSet},
        {"send", "[--port PORT] [--reply-seconds N] ADDRESS FILE",
         "send a file raw (a label job, a command file) and print what the printer answers (default port TCP/IP)",
         RunSend},
        {"groups", "FILE", "validate a group file and print its groups, members and printers", RunGroups},
        {"config", "FILE SECTION KEY [VALUE]",
         "read a settings key, or write it in place (a bare FILE name is in the data folder); only the\n"
         "           product's files and keys, and values of the key's type", RunConfig},
        {"discover", "[--range A-B ... | --to ADDRESS] [--seconds N]",
         "print the addresses that answer the discovery (over the ranges, else by broadcast, for N s, default 5;\n"
         "           a range given last address first is searched from its lower end)",
         RunDiscover},
        {"status", "[--page device|job|network] [--json] ADDRESS...",
         "what the status monitor's pages show, the device page with every view (several printers at once)",
         RunStatus},
        {"key", "[--yes] ADDRESS... feed|pause|restart|reset",
         "press a remote key of the maker's printers (reset asks first on a terminal)", RunKey},
        {"search", "",
         "run the device search of QAVSearchConfig.qso into the group file of the data folder", RunSearch},
        {"envlog", "",
         "write one environmental log report now, as QAVLogConfig.INI says (head check included when on)",
         RunEnvlog},
        {"params", "export ADDRESS FILE | apply [--json] [--jobs N] FILE.qcd ADDRESS...",
         "export a printer's system parameters (FILE.qcd: configuration data, else text), or apply a "
         "configuration-data file to printers", RunParams},
        {"load",
         "FILE ADDRESS... [--list FILE] [--parallel N] [--downgrade] [--report FILE] [--json]\n"
         "           [--ftp SERVER [--ftp-user USER] [--ftp-password-file FILE]]",
         "download a file into printers (ADDRESS: a.b.c.d, TCP/IP:a.b.c.d:port, COMn:9600,8,N,1, USB:path, LPTn)",
         RunLoad},
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
                 "or - for the object table's own type. PORT is SNMP (ADDRESS a dotted address),\n"
                 "TCP/IP (HOST:PORT), COMn (\"baud,bits,parity,stop\"), LPTn (-) or USB (the device\n"
                 "path). Exit status: 0 success, 1 the printer or the library reported a failure,\n"
                 "2 bad usage or input.\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version") || !std::strcmp(argv[1], "version")) {
        std::printf("qavctl (%s) %s\n", QAV_PRODUCT_NAME, QAV_VERSION);
        return 0;
    }
    for (const auto& c : qavctl::AllCommands()) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(qavctl::Args(argv + 2, argv + argc));
    }
    return qavctl::UsageError(std::string("unknown command '") + argv[1] + "' (qavctl --help lists them)");
}
