// One page of parameters as a window shows it (CParamTreePage without the
// window): the tree of its parameters with their values and pictures, and
// the page's change set.
//
// The tree: each parameter's place names up to three levels; the levels
// before the last are folders, shared by the parameters below them, and the
// last is the parameter's leaf, whose text is its name formatted with text
// 5031 ("%s:"), two blanks and its value. Folders and leaves keep the order
// in which the parameters first name them.
//
// Pictures (the image list built from icons 200..204): 0 folder, 1 a value
// that cannot be changed here (every item of the diagnosis window, kind -5
// and -6), 2 editable, 3 changed, 4 editable but unknown (not read).
#pragma once

#include <string>
#include <vector>

#include "nconfig/ChangeSet.h"
#include "nconfig/Pages.h"

namespace nconfig {

enum Picture : int {
    kPictureFolder = 0,
    kPictureReadOnly = 1,
    kPictureEditable = 2,
    kPictureChanged = 3,
    kPictureUnknown = 4,
};

struct TreeNode {
    std::string label;  // a folder's name, or the leaf's name text ("Name:")
    int level = 1;      // 1..3
    int parent = -1;
    int parameter = -1; // the leaf's parameter (index in the page), -1 for a folder
    std::vector<int> children;
};

enum class EditResult {
    kNotEditable, // the parameter cannot be changed here
    kInvalid,     // the value failed its check (message 6005)
    kUnchanged,   // the value is the one shown already
    kChanged,     // added to the change set
    kCancelled,   // the value as read again: the change is gone
};

class PageModel {
public:
    // nameFormat: text 5031. readOnly: the diagnosis window. listMode: the
    // printers' own addresses are not offered (one value for every printer
    // of a list would give them all one address).
    PageModel(Page page, const std::string& nameFormat, bool readOnly, bool listMode);

    const Page& Definition() const { return page_; }
    const std::string& Title() const { return page_.title; }
    const std::vector<Parameter>& Parameters() const { return page_.parameters; }

    const std::vector<TreeNode>& Nodes() const { return nodes_; }
    const std::vector<int>& Roots() const { return roots_; }
    // Every node in tree order (each node before its children).
    std::vector<int> TreeOrder() const;
    std::string NodeText(int node) const;
    int NodePicture(int node) const;
    int NodeOfParameter(int parameter) const { return leafOf_[parameter]; }
    // The parameter with this ID, or -1.
    int ParameterById(int id) const;

    // The shown value and the value as read ("@unknown@" until read).
    const std::string& Value(int parameter) const { return values_[parameter].shown; }
    const std::string& ReadValue(int parameter) const { return values_[parameter].read; }
    bool Editable(int parameter) const;
    int ParameterPicture(int parameter) const;

    // A value read from the printer (or "@unknown@"). Pending changes are
    // not touched; RestoreChanges puts them back on top after a read.
    void SetRead(int parameter, const std::string& raw);
    void RestoreChanges();

    // Checks and takes a value (entered or imported) for a parameter.
    EditResult Edit(int parameter, const std::string& text, std::string* raw = nullptr);

    const CSetDataArray& Changes() const { return changes_; }
    // After the changes were written: the change set is emptied.
    void ChangesWritten();

private:
    struct ValueState {
        std::string read = "@unknown@";  // as the printer gave it
        std::string shown = "@unknown@"; // the shown form in the tree
    };
    int FindChild(int parent, const std::string& label, int level) const;
    int AddNode(int parent, const std::string& label, int level, int parameter);

    Page page_;
    std::string nameFormat_;
    bool readOnly_ = false;
    bool listMode_ = false;
    std::vector<TreeNode> nodes_;
    std::vector<int> roots_;
    std::vector<int> leafOf_;
    std::vector<ValueState> values_;
    CSetDataArray changes_;
};

// "%s" of a format filled with a text (the name of text 5031); the text
// and ":" when the format is empty.
std::string FormatName(const std::string& format, const std::string& name);

} // namespace nconfig
