// qavctl objects: the object table as the programs read it, every object
// with its number, OID, type name and what the table says of it.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "Json.h"
#include "Text.h"
#include "qavres/Resources.h"

namespace qavctl {

int RunObjects(const Args& args, const Output& output)
{
    if (args.size() > 1) return UsageError("objects takes at most one PATTERN");
    if (!args.empty() && !args[0].empty() && args[0][0] == '-') return UsageError("unknown option " + args[0]);
    const std::string pattern = args.empty() ? std::string() : args[0];
    qavres::ObjectTable table;
    std::string error;
    if (!table.Load(&error)) {
        std::fprintf(stderr, "qavctl: the object table cannot be loaded: %s\n", error.c_str());
        return 1;
    }
    JsonWriter json;
    json.BeginArray();
    int shown = 0;
    for (int number : table.Numbers()) {
        const std::string& oid = table.Oid(number);
        const std::string& description = table.Description(number);
        if (!ContainsCaseBlind(std::to_string(number), pattern) && !ContainsCaseBlind(oid, pattern) &&
            !ContainsCaseBlind(description, pattern))
            continue;
        ++shown;
        if (output.json) {
            json.BeginObject()
                .Field("number", number)
                .Field("oid", oid)
                .Field("type", table.TypeName(number))
                .Field("description", description)
                .EndObject();
        } else {
            std::printf("%-6d %-30s %-10s %s\n", number, oid.c_str(), table.TypeName(number).c_str(),
                        VisibleText(description).c_str());
        }
    }
    json.EndArray();
    if (output.json) json.Print();
    if (shown == 0 && !pattern.empty()) {
        std::fprintf(stderr, "qavctl: no object matches '%s'\n", pattern.c_str());
        return 1;
    }
    return 0;
}

} // namespace qavctl
