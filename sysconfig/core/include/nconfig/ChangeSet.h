// The changes of one page waiting to be written (CSetDataArray): one entry
// per parameter, in the order in which the parameters were first changed.
#pragma once

#include <string>
#include <vector>

namespace nconfig {

struct SetData {
    int id = 0;             // the parameter's ID
    std::string value;      // the value to write
    std::string readValue;  // the value as read from the printer ("@unknown@" when none)
    int object = 0;
    int instance = 0;
};

class CSetDataArray {
public:
    // Adds a change. A change of an ID already present replaces its value.
    // A value equal to the value as read removes the entry and returns -1;
    // otherwise the entry's index.
    int Add(int id, const std::string& value, const std::string& readValue, int object, int instance);
    // The entry of an ID, or nullptr.
    const SetData* Find(int id) const;
    bool Remove(int id);
    void Clear() { entries_.clear(); }

    bool Empty() const { return entries_.empty(); }
    size_t Size() const { return entries_.size(); }
    const std::vector<SetData>& Entries() const { return entries_; }

private:
    std::vector<SetData> entries_;
};

} // namespace nconfig
