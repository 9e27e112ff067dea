#include "Json.h"

#include "Text.h"

namespace qavctl {

namespace {

void AppendUnicodeEscape(std::string& out, unsigned code)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            AppendUnicodeEscape(out, c); // not UTF-8: the byte as Latin-1
            ++i;
            continue;
        }
        if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            AppendUnicodeEscape(out, static_cast<unsigned char>(text[i + 1])); // C1 control
        } else if (length > 1) {
            out.append(text, i, length);
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            AppendUnicodeEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
        i += length;
    }
    return out + "\"";
}

void JsonWriter::BeforeItem()
{
    if (keyPending_) {
        keyPending_ = false; // the value of a key: it follows the key
        return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (levels_.size() == 1) out_ += level.empty ? "\n " : ",\n ";
    else if (!level.empty) out_ += ", ";
    level.empty = false;
}

JsonWriter& JsonWriter::Key(std::string_view name)
{
    BeforeItem();
    out_ += JsonString(name);
    out_ += ": ";
    keyPending_ = true;
    return *this;
}

JsonWriter& JsonWriter::Open(char bracket)
{
    BeforeItem();
    out_ += bracket;
    levels_.push_back({bracket == '{', true});
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket)
{
    if (levels_.empty()) return *this;
    const bool outermost = levels_.size() == 1;
    if (outermost && !levels_.back().empty) out_ += '\n';
    out_ += bracket;
    levels_.pop_back();
    if (outermost) out_ += '\n';
    return *this;
}

JsonWriter& JsonWriter::Scalar(std::string_view literal)
{
    BeforeItem();
    out_ += literal;
    if (levels_.empty()) out_ += '\n'; // a document of one value
    return *this;
}

JsonWriter& JsonWriter::Value(const std::vector<std::string>& texts)
{
    BeginArray();
    for (const std::string& t : texts) Value(t);
    return EndArray();
}

void JsonWriter::Print() const
{
    std::fwrite(out_.data(), 1, out_.size(), stdout);
    std::fflush(stdout);
}

} // namespace qavctl
