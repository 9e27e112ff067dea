// The JSON that every qavctl command prints with --json: one document on
// standard output (errors go to standard error as plain text, and the exit
// status is the same as without --json).
//
// Layout: ", " between items and ": " after keys, as Python's json module
// writes; the items of the outermost array or object stand on lines of
// their own, everything inside them on one line, so that line tools still
// find one printer or one object per line.
//
// Strings: UTF-8 is kept as it is (accented names, Japanese texts); quotes,
// backslashes and control characters are escaped; a byte that is not part of
// well-formed UTF-8 is read as Latin-1 (\u00NN), so the document is always
// valid UTF-8 and nothing received is dropped.
#pragma once

#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qavctl {

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);

class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open('{'); }
    JsonWriter& EndObject() { return Close('}'); }
    JsonWriter& BeginArray() { return Open('['); }
    JsonWriter& EndArray() { return Close(']'); }
    // The key of the next value inside an object.
    JsonWriter& Key(std::string_view name);

    JsonWriter& Value(std::string_view text) { return Scalar(JsonString(text)); }
    JsonWriter& Value(const std::string& text) { return Value(std::string_view(text)); }
    JsonWriter& Value(const char* text) { return Value(std::string_view(text)); }
    JsonWriter& Value(bool flag) { return Scalar(flag ? "true" : "false"); }
    template <std::integral Number>
        requires(!std::same_as<Number, bool>)
    JsonWriter& Value(Number number)
    {
        return Scalar(std::to_string(number));
    }
    JsonWriter& Null() { return Scalar("null"); }
    // A number already in decimal text ("-2", "18446744073709551615").
    JsonWriter& Number(std::string_view digits) { return Scalar(digits); }
    // An array of strings.
    JsonWriter& Value(const std::vector<std::string>& texts);

    // Key and value in one step.
    template <typename T>
    JsonWriter& Field(std::string_view key, const T& value)
    {
        Key(key);
        return Value(value);
    }

    // The document; complete (with its final line end) once the outermost
    // container is closed.
    const std::string& Text() const { return out_; }
    // Writes the document to standard output and flushes it.
    void Print() const;

private:
    struct Level {
        bool object = false;
        bool empty = true;
    };
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);
    JsonWriter& Scalar(std::string_view literal);
    void BeforeItem();

    std::string out_;
    std::vector<Level> levels_;
    bool keyPending_ = false;
};

} // namespace qavctl
