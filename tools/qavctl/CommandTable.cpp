// The command table: every command with its usage, options and an example,
// as `qavctl help COMMAND` and `qavctl COMMAND --help` print them.
#include "Commands.h"

namespace qavctl {

// The port words of --port and what ADDRESS then is.
#define QAVCTL_PORTS                                                                                             \
    "  --port PORT       SNMP (the default: ADDRESS is a dotted address), TCP/IP (ADDRESS is HOST:PORT),\n"     \
    "                    COMn (ADDRESS is the line, baud,bits,parity,stop: 9600,8,N,1), LPTn (ADDRESS is -)\n" \
    "                    or USB (ADDRESS is the device path); the port word is read without regard to case\n"

#define QAVCTL_OBJECTS                                                                                             \
    "  OBJECT            a number of the object table (qavctl objects lists them); 121.1 is object 121,\n"        \
    "                    instance 1; anything else is a dotted OID\n"

const std::vector<Command>& AllCommands()
{
    static const std::vector<Command> commands = {
        {"get", "[--port PORT] [-v1|-v2c] [-c COMMUNITY] [--json] ADDRESS OBJECT[.INSTANCE]|OID ...",
         "read objects (SNMP GET, or a printer command on another port)",
         QAVCTL_PORTS "  -v1, -v2c         SNMP version (default -v2c)\n"
                      "  -c COMMUNITY      the read community (default kestra)\n" QAVCTL_OBJECTS
                      "                    up to 20 objects in one request; each prints as OID = Type: value,\n"
                      "                    or with its error code and meaning when the printer has no value\n"
                      "  --json            one JSON array, an entry a requested object: request, oid, type\n"
                      "                    and value, or error and message\n",
         "qavctl get 192.0.2.10 201 121.1\n"
         "qavctl get --port TCP/IP 192.0.2.10:9100 201\n"
         "qavctl get --json 192.0.2.10 20101 | jq -r '.[0].value'",
         RunGet},
        {"next", "[-v1|-v2c] [-c COMMUNITY] [--json] ADDRESS OBJECT[.INSTANCE]|OID ...",
         "read the objects that follow the given ones (SNMP GET-NEXT)",
         "  -v1, -v2c         SNMP version (default -v2c)\n"
         "  -c COMMUNITY      the read community (default kestra)\n" QAVCTL_OBJECTS
         "  --json            as get; oid is the OID that answered\n",
         "qavctl next 192.0.2.10 1.3.6.1.2.1.2.2.1.2", RunNext},
        {"set", "[--port PORT] [-v1|-v2c] [-w COMMUNITY] [--json] ADDRESS OBJECT[.INSTANCE]|OID TYPE VALUE ...",
         "write objects (SNMP SET, or a printer command on another port)",
         QAVCTL_PORTS "  -v1, -v2c         SNMP version (default -v2c)\n"
                      "  -w COMMUNITY      the write community (default kestra)\n" QAVCTL_OBJECTS
                      "  TYPE              Integer, String, OID, IPAddress, Counter32, Gauge32, Timeticks,\n"
                      "                    Counter64 (or i s o a c g t C), or - for the object table's own type\n"
                      "  --json            as get, with the values the printer answered\n",
         "qavctl set 192.0.2.10 201 - 'Dock 3'\n"
         "qavctl set 192.0.2.10 1.3.6.1.2.1.1.6.0 s 'Hall B'",
         RunSet},
        {"objects", "[--json] [PATTERN]", "list the object table: number, OID, type and description",
         "  PATTERN           only the objects whose number, OID or description contains it (case-blind);\n"
         "                    exit status 1 when none does\n" "  --json            one JSON array: number, oid, type, description\n",
         "qavctl objects\n"
         "qavctl objects serial\n"
         "qavctl objects 1.3.6.1.2.1.43",
         RunObjects},
        {"send", "[--port PORT] [--reply-seconds N] [--json] ADDRESS FILE",
         "send a file raw (a label job, a command file) and print what the printer answers",
         "  --port PORT       TCP/IP (the default: ADDRESS is HOST:PORT, HOST alone means port 9100),\n"
         "                    COMn (ADDRESS is the line: 9600,8,N,1), LPTn (ADDRESS is -) or USB (the\n"
         "                    device path)\n"
         "  --reply-seconds N how long to wait for the printer's answer (default 3; 0: none)\n"
         "                    a progress bar shows on a terminal\n"
         "  --json            one JSON object: port, address, file, bytes sent, reply\n",
         "qavctl send 192.0.2.10 label.prn\n"
         "qavctl send --port COM1 --reply-seconds 2 19200,8,N,1 query.txt",
         RunSend},
        {"status", "[--page device|job|network] [--json] ADDRESS...",
         "what the status monitor's pages show, several printers at once",
         "  --page PAGE       device (the default: identity, status, indicators, panel and every view),\n"
         "                    job or network\n"
         "  --json            one JSON array, an entry a printer, in the order given\n"
         "                    exit status 1 when a printer does not answer\n",
         "qavctl status 192.0.2.10 192.0.2.11\n"
         "qavctl status --page network --json 192.0.2.10",
         RunStatus},
        {"key", "[--yes] [--json] ADDRESS... feed|pause|restart|reset",
         "press a remote key of the maker's printers",
         "  --yes, -y         confirm a reset without asking (a reset takes the printers away for half a\n"
         "                    minute: on a terminal it asks first, elsewhere it needs --yes)\n"
         "  --json            one JSON array: address, key, sent, and why not\n",
         "qavctl key 192.0.2.10 192.0.2.11 pause\n"
         "qavctl key --yes 192.0.2.10 reset",
         RunKey},
        {"discover", "[--range A-B ... | --to ADDRESS] [--seconds N] [--json]",
         "print the addresses that answer the printer discovery",
         "  --range A-B       search the addresses A to B (or one address); may be given again; a range\n"
         "                    given last address first is searched from its lower end\n"
         "  --to ADDRESS      send the broadcast datagram to ADDRESS (default 255.255.255.255)\n"
         "  --seconds N       how long to collect answers, 1 to 600 (default 5)\n"
         "  --json            one JSON object: seconds and the addresses, once the time is up\n"
         "                    (without it each address prints as it answers)\n",
         "qavctl discover --range 192.0.2.1-192.0.2.254 --seconds 3", RunDiscover},
        {"search", "[--json]",
         "run the device search of QAVSearchConfig.qso into the group file of the data folder",
         "  --json            one JSON object: addresses found, printers merged, printers in the file\n"
         "                    on a terminal standard error shows the seconds, addresses and printers as\n"
         "                    the search goes; the last line sums it up\n",
         "qavctl search", RunSearch},
        {"groups", "[--json] FILE", "validate a group file and print its groups, members and printers",
         "  FILE              a group file (.qdl); a bare name is in the data folder\n"
         "  --json            one JSON object: file, groups with their members, printers\n",
         "qavctl groups QAVGroupConfig.qdl", RunGroups},
        {"config", "[--json] FILE SECTION KEY [VALUE]",
         "read a settings key, or write it in place",
         "  FILE              one of the product's settings files; a bare name is in the data folder\n"
         "  SECTION KEY       read without regard to case, written in the programs' own spelling; only\n"
         "                    the product's keys, and values of the key's type\n"
         "  --json            one JSON object: file, section, key, value\n",
         "qavctl config QAVSurveyConfig.INI Polling TaskDuration\n"
         "qavctl config QAVSurveyConfig.INI Polling TaskDuration 60",
         RunConfig},
        {"envlog", "[--json]",
         "write one environmental log report now, as QAVLogConfig.INI says (head check included when on)",
         "  --json            one JSON object: printers read and reported, lines written, the file\n",
         "qavctl envlog", RunEnvlog},
        {"params",
         "export [--json] ADDRESS FILE\n"
         "apply [--json] [--jobs N] FILE.qcd ADDRESS...",
         "export a printer's system parameters, or apply a configuration-data file to printers",
         "  export            FILE.qcd gets the configuration-data format, any other name the text format\n"
         "  apply             writes what differs into each printer, with the list mode's rules\n"
         "  --jobs N          printers served at once, 1 to 256 (default 16)\n"
         "  --json            one JSON document (apply: an array, an entry a printer)\n"
         "                    exit status 1 when any printer failed\n",
         "qavctl params export 192.0.2.10 dock1.qcd\n"
         "qavctl params apply --json dock1.qcd 192.0.2.11 192.0.2.12",
         RunParams},
        {"load",
         "FILE ADDRESS... [--list FILE] [--parallel N] [--downgrade] [--report FILE] [--json]\n"
         "[--ftp SERVER [--ftp-user USER] [--ftp-password-file FILE]]",
         "download a file into printers",
         "  ADDRESS           a.b.c.d (a network printer), TCP/IP:a.b.c.d:port, COMn:9600,8,N,1,\n"
         "                    USB:/dev/usb/lp0 or LPTn\n"
         "  --list FILE       the printers of a list file, a \"PORT ADDRESS\" line each\n"
         "  --parallel N      printers served at once, 1 to 64 (default 1)\n"
         "  --downgrade       send a file older than a printer's version too\n"
         "  --report FILE     write the download report there\n"
         "  --ftp SERVER      FILE is a file of the server's catalog\n"
         "  --ftp-user USER   the FTP user\n"
         "  --ftp-password-file FILE\n"
         "                    the password's file (else $QAV_FTP_PASSWORD; never the command line)\n"
         "  --json            one JSON object: file, kind, version, times, printers with their results\n"
         "                    exit status 1 when any printer failed\n",
         "qavctl load MUG2V120.BIN 192.0.2.10 192.0.2.11 --parallel 2\n"
         "qavctl load --list temp.txt MUG2V120.BIN --report load.txt",
         RunLoad},
    };
    return commands;
}

const Command* FindCommand(const std::string& name)
{
    for (const Command& c : AllCommands()) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

} // namespace qavctl
