#include "nconfig/ChangeSet.h"

#include <algorithm>

namespace nconfig {

int CSetDataArray::Add(int id, const std::string& value, const std::string& readValue, int object, int instance)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const SetData& e) { return e.id == id; });
    if (value == readValue) {
        if (it != entries_.end()) entries_.erase(it);
        return -1;
    }
    if (it != entries_.end()) {
        it->value = value;
        it->readValue = readValue;
        return static_cast<int>(it - entries_.begin());
    }
    entries_.push_back(SetData{id, value, readValue, object, instance});
    return static_cast<int>(entries_.size() - 1);
}

const SetData* CSetDataArray::Find(int id) const
{
    for (const SetData& e : entries_) {
        if (e.id == id) return &e;
    }
    return nullptr;
}

bool CSetDataArray::Remove(int id)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const SetData& e) { return e.id == id; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
}

} // namespace nconfig
