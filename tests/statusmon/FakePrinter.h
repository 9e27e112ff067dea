// A printer link that answers from maps: the status monitor's logic runs
// against it without a network. It keeps every request it was asked, so a
// test can see what was read and written, and in which pieces.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "nstat/PrinterLink.h"

namespace nstattest {

class FakePrinter : public nstat::PrinterLink {
public:
    struct Object {
        int type;
        std::string value;
    };
    std::map<int, Object> scalars;                     // object -> first instance
    std::map<int, std::vector<Object>> columns;        // object -> rows of a table column
    std::map<std::pair<int, std::string>, Object> instances; // (object, instance) for plain GETs
    bool silent = false;                               // every exchange times out
    bool refuseWrites = false;

    // What was asked.
    std::vector<std::vector<int>> reads;   // objects of each scalar read
    std::vector<std::vector<int>> walks;   // columns of each table walk
    std::vector<std::pair<int, std::string>> writes; // object, value

    void Set(int object, int type, const std::string& value) { scalars[object] = {type, value}; }
    void SetInt(int object, int value) { Set(object, 2, std::to_string(value)); }
    void SetText(int object, const std::string& value) { Set(object, 4, value); }

    nstat::Outcome Read(std::vector<nstat::ObjectRequest>& requests) override
    {
        std::vector<int> asked;
        for (auto& r : requests) {
            r.value.clear();
            r.answered = false;
        }
        const size_t n = std::min<size_t>(requests.size(), 20);
        for (size_t i = 0; i < n; ++i) asked.push_back(requests[i].object);
        reads.push_back(asked);
        if (silent) return Down();
        for (size_t i = 0; i < n; ++i) {
            auto it = scalars.find(requests[i].object);
            if (it == scalars.end() || it->second.type != requests[i].type) continue;
            requests[i].value = it->second.value;
            requests[i].answered = true;
        }
        return Up();
    }

    nstat::Outcome ReadTable(const std::vector<nstat::ObjectRequest>& cols, nstat::TableRows& rows) override
    {
        rows.clear();
        std::vector<int> asked;
        for (const auto& c : cols) asked.push_back(c.object);
        walks.push_back(asked);
        if (silent) return Down();
        auto first = columns.find(cols.at(0).object);
        if (first == columns.end()) return Up();
        for (size_t r = 0; r < first->second.size() && r < 10; ++r) {
            std::vector<std::string> row;
            for (const auto& c : cols) {
                auto it = columns.find(c.object);
                const bool fits = it != columns.end() && r < it->second.size() && it->second[r].type == c.type;
                row.push_back(fits ? it->second[r].value : std::string());
            }
            rows.push_back(row);
        }
        return Up();
    }

    nstat::Outcome WriteInteger(int object, int value) override { return Write(object, 2, std::to_string(value)); }
    nstat::Outcome WriteString(int object, const std::string& value) override { return Write(object, 4, value); }

    nstat::Outcome ReadInstance(const std::vector<int>& objects, const std::string& instance,
                                std::vector<std::string>& values) override
    {
        values.assign(objects.size(), std::string());
        if (silent) return Down();
        for (size_t i = 0; i < objects.size(); ++i) {
            auto it = instances.find({objects[i], instance});
            if (it != instances.end()) values[i] = it->second.value;
        }
        return Up();
    }

    // A maker's printer of the model, online, with a few counters and its
    // information objects.
    void MakeMaker(const std::string& model)
    {
        Set(1361, 6, "1.3.6.1.4.1.32473.2.1");
        SetText(161, "VORANTA QAV " + model);
        SetText(201, "Dock printer");
        SetText(221, "Hall 3");
        SetText(81, "QAV " + model);
        SetText(20781, "QS4711");
        SetText(441, std::string("\x00\x80\x91\x12\x34\x56", 6));
        SetInt(22761, 1);
        SetInt(20901, 0);
        SetText(20921, "ONLINE");
        SetInt(20941, 0);
        SetInt(20881, 0);
    }

private:
    static nstat::Outcome Up()
    {
        nstat::Outcome o;
        o.connection = qavobj::Connection::kUp;
        return o;
    }
    static nstat::Outcome Down()
    {
        nstat::Outcome o;
        o.code = -104;
        o.connection = qavobj::Connection::kDown;
        return o;
    }
    nstat::Outcome Write(int object, int type, const std::string& value)
    {
        if (silent) return Down();
        nstat::Outcome o = Up();
        auto it = scalars.find(object);
        if (refuseWrites || it == scalars.end() || it->second.type != type) {
            o.code = -1000;
            return o;
        }
        writes.emplace_back(object, value);
        it->second.value = value;
        return o;
    }
};

} // namespace nstattest
