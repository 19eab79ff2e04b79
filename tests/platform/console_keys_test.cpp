// Escape-sequence decoding: which bytes become which key values, and how
// unfinished, unknown and Alt-prefixed sequences are treated.
#include "console_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Decodes the whole of `bytes`; without `ended`, stops at an unfinished
// sequence and reports in `left` how many bytes it waits on.
std::vector<int> decodeAll(const std::string& bytes, bool ended, int* left = nullptr) {
    std::vector<int> out;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    int pos = 0;
    const int n = int(bytes.size());
    while (pos < n) {
        const KeyDecode k = decodeKey(b + pos, n - pos, ended);
        if (k.used == 0) break;
        EXPECT_LE(k.used, n - pos);
        out.insert(out.end(), k.values, k.values + k.count);
        pos += k.used;
    }
    if (left) *left = n - pos;
    return out;
}

struct Case {
    const char* name;
    std::string bytes;
    std::vector<int> values;
};

const Case cases[] = {
    {"plain bytes", "41w. \n", {'4', '1', 'w', '.', ' ', '\n'}},
    {"high bytes and NUL pass through", std::string("\xe0\x00\xff", 3), {224, 0, 255}},
    {"CSI arrows", "\x1b[A\x1b[B\x1b[C\x1b[D", {224, 72, 224, 80, 224, 77, 224, 75}},
    {"SS3 arrows", "\x1bOA\x1bOB\x1bOC\x1bOD", {224, 72, 224, 80, 224, 77, 224, 75}},
    {"Home/End letters", "\x1b[H\x1b[F\x1bOH\x1bOF", {224, 71, 224, 79, 224, 71, 224, 79}},
    {"SS3 F1-F4", "\x1bOP\x1bOQ\x1bOR\x1bOS", {0, 59, 0, 60, 0, 61, 0, 62}},
    {"vt F1-F5", "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~", {0, 59, 0, 60, 0, 61, 0, 62, 0, 63}},
    {"vt F6-F10", "\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~", {0, 64, 0, 65, 0, 66, 0, 67, 0, 68}},
    {"F11 F12", "\x1b[23~\x1b[24~", {224, 133, 224, 134}},
    {"Linux console F1-F5", "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E", {0, 59, 0, 60, 0, 61, 0, 62, 0, 63}},
    {"editing keys",
     "\x1b[1~\x1b[2~\x1b[3~\x1b[4~\x1b[5~\x1b[6~\x1b[7~\x1b[8~",
     {224, 71, 224, 82, 224, 83, 224, 79, 224, 73, 224, 81, 224, 71, 224, 79}},
    {"modifiers dropped", "\x1b[1;5A\x1b[15;2~\x1b[1;2P\x1bO5Q", {224, 72, 0, 63, 0, 59, 0, 60}},
    {"several keys in a row", "a\x1b[Ab\x1bOPc", {'a', 224, 72, 'b', 0, 59, 'c'}},
    {"unknown sequences dropped whole",
     "\x1b[99~x\x1b[Zx\x1bOMx\x1b[<0;10;20Mx\x1b[200~x\x1b[?1;2cx\x1b[2Ax\x1b[[Zx",
     {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}},
    {"broken sequence keeps the stray byte", "\x1b[1\n", {'\n'}},
    {"Alt+key is the key", "\x1bw\x1b\x1b[A\x1b\r", {'w', 224, 72, '\r'}},
    {"Escape at the end", "a\x1b", {'a', 27}},
    {"Alt+Escape is one Escape", "\x1b\x1b", {27}},
    {"cut-off CSI introducer is Alt+[", "\x1b[", {'['}},
    {"cut-off SS3 introducer is Alt+O", "\x1bO", {'O'}},
    {"cut-off sequence dropped", "\x1b[1;", {}},
};

TEST(ConsoleKeys, DecodesWholeInput) {
    for (const Case& c : cases) EXPECT_EQ(decodeAll(c.bytes, true), c.values) << c.name;
}

// The same input arriving with no end in sight: everything up to an
// unfinished sequence is decoded, and nothing complete is held back.
TEST(ConsoleKeys, WaitsOnlyForUnfinishedSequences) {
    struct Split {
        std::string bytes;
        std::vector<int> values;
        int left;
    } splits[] = {
        {"ab", {'a', 'b'}, 0}, {"a\x1b", {'a'}, 1},   {"a\x1b[", {'a'}, 2},
        {"\x1b[1;5", {}, 5},   {"\x1bO", {}, 2},      {"\x1b[[", {}, 3},
        {"\x1b\x1b", {}, 2},   {"\x1b\x1b[2", {}, 4}, {"\x1b[A\x1b[2", {224, 72}, 3},
        {"\x1b[99~", {}, 0},
    };
    for (const Split& s : splits) {
        int left = -1;
        EXPECT_EQ(decodeAll(s.bytes, false, &left), s.values) << s.bytes.substr(1);
        EXPECT_EQ(left, s.left) << s.bytes.substr(1);
    }
    // The rest arrives later and completes the key.
    EXPECT_EQ(decodeAll("\x1b[1"
                        "5~",
                        false),
              (std::vector<int>{0, 63}));
}

}  // namespace
