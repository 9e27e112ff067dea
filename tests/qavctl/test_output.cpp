// qavctl's output forms without a printer: the JSON writer (escaping, UTF-8,
// layout) and the text forms (visible control characters, binary octets).
// Every document the writer makes is also read back by Python's json module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Json.h"
#include "TestPeers.h"
#include "Text.h"

namespace {

using qavctl::JsonString;
using qavctl::JsonWriter;

// What Python's json module reads from the document: repr() of the value.
std::string PythonReads(const std::string& document)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("doc.json"), document);
    return qavtest::RunCommand("/usr/bin/python3 -c 'import json,sys; print(ascii(json.load(open(sys.argv[1], "
                               "encoding=\"utf-8\"))))' " +
                               dir.File("doc.json") + " 2>&1");
}

struct StringCase {
    const char* name;
    std::string text;
    std::string json;   // the literal the writer makes
    std::string python; // ascii() of what Python reads back
};

TEST(JsonStrings, EscapedWhereNeededAndUtf8Kept)
{
    const StringCase cases[] = {
        {"plain", "Dock 3", "\"Dock 3\"", "'Dock 3'"},
        {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\"", "'a\"b\\\\c'"},
        {"line ends and tab", "a\r\nb\tc", "\"a\\r\\nb\\tc\"", "'a\\r\\nb\\tc'"},
        {"other controls", std::string("\x01\x1B[0m\x7F", 6), "\"\\u0001\\u001b[0m\\u007f\"",
         "'\\x01\\x1b[0m\\x7f'"},
        {"zero byte", std::string("a\0b", 3), "\"a\\u0000b\"", "'a\\x00b'"},
        {"accents", "Étiquette café", "\"Étiquette café\"", "'\\xc9tiquette caf\\xe9'"},
        {"japanese", "ラベル東京", "\"ラベル東京\"", "'\\u30e9\\u30d9\\u30eb\\u6771\\u4eac'"},
        {"four bytes", "\xF0\x9F\x96\xA8", "\"\xF0\x9F\x96\xA8\"", "'\\U0001f5a8'"},
        {"c1 control", "a\xC2\x85z", "\"a\\u0085z\"", "'a\\x85z'"},
        // Not UTF-8: each byte read as Latin-1, so nothing is lost.
        {"latin-1 byte", "Caf\xE9", "\"Caf\\u00e9\"", "'Caf\\xe9'"},
        {"cut sequence", "ab\xE3\x83", "\"ab\\u00e3\\u0083\"", "'ab\\xe3\\x83'"},
        {"overlong slash", "\xC0\xAF", "\"\\u00c0\\u00af\"", "'\\xc0\\xaf'"},
        {"surrogate", "\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\"", "'\\xed\\xa0\\x80'"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\"", "'\\xf4\\x90\\x80\\x80'"},
        {"mac raw bytes", "\xF4\x0F\x24\x29\xE4\x54", "\"\\u00f4\\u000f$)\\u00e4T\"", "'\\xf4\\x0f$)\\xe4T'"},
    };
    for (const StringCase& c : cases) {
        EXPECT_EQ(JsonString(c.text), c.json) << c.name;
        EXPECT_EQ(PythonReads(JsonString(c.text)), c.python + "\n") << c.name;
    }
}

TEST(JsonWriter, OneDocumentWithTheOuterItemsOnLinesOfTheirOwn)
{
    JsonWriter json;
    json.BeginArray();
    json.BeginObject().Field("address", "127.0.0.11").Field("answered", true).Field("help", 2060);
    json.Field("rows", std::vector<std::string>{"a", "b"}).Key("none").BeginArray().EndArray();
    json.Key("count").Number("18446744073709551615").Field("low", -2147483647 - 1).Key("x").Null().EndObject();
    json.BeginObject().Field("address", "127.0.0.12").Field("answered", false).EndObject();
    json.EndArray();
    EXPECT_EQ(json.Text(), "[\n"
                           " {\"address\": \"127.0.0.11\", \"answered\": true, \"help\": 2060, \"rows\": [\"a\", \"b\"], "
                           "\"none\": [], \"count\": 18446744073709551615, \"low\": -2147483648, \"x\": null},\n"
                           " {\"address\": \"127.0.0.12\", \"answered\": false}\n"
                           "]\n");
    EXPECT_EQ(PythonReads(json.Text()),
              "[{'address': '127.0.0.11', 'answered': True, 'help': 2060, 'rows': ['a', 'b'], 'none': [], "
              "'count': 18446744073709551615, 'low': -2147483648, 'x': None}, "
              "{'address': '127.0.0.12', 'answered': False}]\n");

    JsonWriter object;
    object.BeginObject().Field("file", "a.bin").Key("printers").BeginArray();
    object.BeginObject().Field("code", 0).EndObject().BeginObject().Field("code", 23).EndObject();
    object.EndArray().Field("ok", false).EndObject();
    EXPECT_EQ(object.Text(), "{\n \"file\": \"a.bin\",\n \"printers\": [{\"code\": 0}, {\"code\": 23}],\n"
                             " \"ok\": false\n}\n");

    JsonWriter empty;
    empty.BeginArray().EndArray();
    EXPECT_EQ(empty.Text(), "[]\n");
}

struct TextCase {
    const char* name;
    std::string octets;
    std::string visible; // VisibleText
    bool text;           // IsText
};

TEST(TextForms, Utf8AsItIsControlsAndStrayBytesVisible)
{
    const TextCase cases[] = {
        {"ascii", "Shipping labeller", "Shipping labeller", true},
        {"accents and japanese", "Étiquette ラベル", "Étiquette ラベル", true},
        {"escape sequence", "\x1B[2J", "\\x1B[2J", true},
        {"line ends", "PAPER\r\nJAM\t!", "PAPER\\x0D\\x0AJAM\\x09!", true},
        {"delete", "ab\x7F", "ab\\x7F", true},
        {"c1 control", "\xC2\x9B" "31m", "\\xC2\\x9B31m", true},
        {"half controls", "\x0A\x1B" "AB", "\\x0A\\x1BAB", false},
        {"latin-1", "Caf\xE9", "Caf\\xE9", false},
        {"mac raw bytes", "\xF4\x0F\x24\x29\xE4\x54", "\\xF4\\x0F$)\\xE4T", false},
        {"mac of controls", "\x01\x02\x03\x04\x05\x06", "\\x01\\x02\\x03\\x04\\x05\\x06", false},
        {"empty", "", "", true},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(qavctl::VisibleText(c.octets), c.visible) << c.name;
        EXPECT_EQ(qavctl::IsText(c.octets), c.text) << c.name;
    }
    EXPECT_EQ(qavctl::HexPairs("\xF4\x0F\x24\x29\xE4\x54"), "F4 0F 24 29 E4 54");
    EXPECT_EQ(qavctl::HexPairs(std::string("\0\x80", 2)), "00 80");
    EXPECT_EQ(qavctl::HexPairs(""), "");
}

TEST(TextForms, PatternsMatchWithoutRegardToCase)
{
    EXPECT_TRUE(qavctl::ContainsCaseBlind("prtGeneralSerialNumber (column)", "SERIALnumber"));
    EXPECT_TRUE(qavctl::ContainsCaseBlind("1.3.6.1.2.1.43.5.1.1.17", "43.5.1"));
    EXPECT_TRUE(qavctl::ContainsCaseBlind("Étiquette", "Éti"));
    EXPECT_FALSE(qavctl::ContainsCaseBlind("sysName", "sysNames"));
    EXPECT_TRUE(qavctl::ContainsCaseBlind("anything", ""));
}

} // namespace
