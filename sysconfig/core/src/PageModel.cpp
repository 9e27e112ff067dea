#include "nconfig/PageModel.h"

#include "nconfig/Values.h"

namespace nconfig {

std::string FormatName(const std::string& format, const std::string& name)
{
    const size_t at = format.find("%s");
    if (at == std::string::npos) return name + ":";
    return format.substr(0, at) + name + format.substr(at + 2);
}

PageModel::PageModel(Page page, const std::string& nameFormat, bool readOnly, bool listMode)
    : page_(std::move(page)), nameFormat_(nameFormat), readOnly_(readOnly), listMode_(listMode)
{
    leafOf_.assign(page_.parameters.size(), -1);
    values_.resize(page_.parameters.size());
    for (size_t i = 0; i < page_.parameters.size(); ++i) {
        const Parameter& p = page_.parameters[i];
        int parent = -1;
        for (size_t level = 0; level + 1 < p.path.size(); ++level) {
            const int level1 = static_cast<int>(level) + 1;
            int folder = FindChild(parent, p.path[level], level1);
            if (folder < 0) folder = AddNode(parent, p.path[level], level1, -1);
            parent = folder;
        }
        leafOf_[i] = AddNode(parent, FormatName(nameFormat_, p.name), static_cast<int>(p.path.size()),
                             static_cast<int>(i));
        SetRead(static_cast<int>(i), kUnknownValue);
    }
}

int PageModel::FindChild(int parent, const std::string& label, int level) const
{
    const std::vector<int>& siblings = parent < 0 ? roots_ : nodes_[parent].children;
    for (int n : siblings) {
        if (nodes_[n].parameter < 0 && nodes_[n].label == label && nodes_[n].level == level) return n;
    }
    return -1;
}

int PageModel::AddNode(int parent, const std::string& label, int level, int parameter)
{
    TreeNode node;
    node.label = label;
    node.level = level;
    node.parent = parent;
    node.parameter = parameter;
    nodes_.push_back(std::move(node));
    const int index = static_cast<int>(nodes_.size() - 1);
    (parent < 0 ? roots_ : nodes_[parent].children).push_back(index);
    return index;
}

std::vector<int> PageModel::TreeOrder() const
{
    std::vector<int> order;
    std::vector<int> stack(roots_.rbegin(), roots_.rend());
    while (!stack.empty()) {
        const int n = stack.back();
        stack.pop_back();
        order.push_back(n);
        const std::vector<int>& children = nodes_[n].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return order;
}

std::string PageModel::NodeText(int node) const
{
    const TreeNode& n = nodes_[node];
    if (n.parameter < 0) return n.label;
    return n.label + "  " + values_[n.parameter].shown;
}

int PageModel::NodePicture(int node) const
{
    const TreeNode& n = nodes_[node];
    return n.parameter < 0 ? kPictureFolder : ParameterPicture(n.parameter);
}

int PageModel::ParameterById(int id) const
{
    for (size_t i = 0; i < page_.parameters.size(); ++i) {
        if (page_.parameters[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

bool PageModel::Editable(int parameter) const
{
    const Parameter& p = page_.parameters[parameter];
    if (readOnly_ || !p.Writable()) return false;
    return !(listMode_ && p.OwnAddress());
}

int PageModel::ParameterPicture(int parameter) const
{
    if (!Editable(parameter)) return kPictureReadOnly;
    if (changes_.Find(page_.parameters[parameter].id)) return kPictureChanged;
    if (values_[parameter].shown == kUnknownValue) return kPictureUnknown;
    return kPictureEditable;
}

void PageModel::SetRead(int parameter, const std::string& raw)
{
    ValueState& v = values_[parameter];
    v.read = raw;
    v.shown = DisplayValue(page_.parameters[parameter], raw);
}

void PageModel::RestoreChanges()
{
    std::vector<SetData> pending = changes_.Entries();
    for (const SetData& e : pending) {
        const int i = ParameterById(e.id);
        if (i < 0) {
            changes_.Remove(e.id);
            continue;
        }
        // The change stays only while it still changes something.
        if (changes_.Add(e.id, e.value, values_[i].read, e.object, e.instance) >= 0)
            values_[i].shown = DisplayValue(page_.parameters[i], e.value);
    }
}

EditResult PageModel::Edit(int parameter, const std::string& text, std::string* rawOut)
{
    if (parameter < 0 || parameter >= static_cast<int>(values_.size()) || !Editable(parameter))
        return EditResult::kNotEditable;
    const Parameter& p = page_.parameters[parameter];
    std::string raw;
    if (!ParseValue(p, text, raw)) return EditResult::kInvalid;
    if (rawOut) *rawOut = raw;
    const std::string shown = DisplayValue(p, raw);
    ValueState& v = values_[parameter];
    if (shown == v.shown) return EditResult::kUnchanged;
    v.shown = shown;
    return changes_.Add(p.id, raw, v.read, p.object, p.instance) < 0 ? EditResult::kCancelled : EditResult::kChanged;
}

void PageModel::ChangesWritten() { changes_.Clear(); }

} // namespace nconfig
