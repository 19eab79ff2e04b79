// Escape-sequence decoding for the xterm, Linux console and tmux forms of
// the cursor, editing and function keys (CSI "ESC [" and SS3 "ESC O").
#include "console_keys.h"

namespace {

constexpr unsigned char ESC = 27;

constexpr KeyDecode needMore() { return {0, 0, {0, 0}}; }
constexpr KeyDecode dropped(int used) { return {used, 0, {0, 0}}; }
constexpr KeyDecode one(int used, int v) { return {used, 1, {v, 0}}; }
constexpr KeyDecode two(int used, int prefix, int code) { return {used, 2, {prefix, code}}; }

constexpr KeyDecode F(int used, int n) {  // F1..F12
    return n <= 10 ? two(used, KEY_PREFIX_F, 58 + n) : two(used, KEY_PREFIX_EXT, 122 + n);
}
constexpr KeyDecode ext(int used, int code) { return two(used, KEY_PREFIX_EXT, code); }

// Keys named by a final letter, in CSI (ESC [ 1 ; m X) and SS3 (ESC O X).
KeyDecode letterKey(int used, unsigned char c) {
    switch (c) {
        case 'A':
            return ext(used, 72);  // Up
        case 'B':
            return ext(used, 80);  // Down
        case 'C':
            return ext(used, 77);  // Right
        case 'D':
            return ext(used, 75);  // Left
        case 'H':
            return ext(used, 71);  // Home
        case 'F':
            return ext(used, 79);  // End
        case 'P':
            return F(used, 1);
        case 'Q':
            return F(used, 2);
        case 'R':
            return F(used, 3);
        case 'S':
            return F(used, 4);
        default:
            return dropped(used);
    }
}

// Keys named by a number in ESC [ n ~ (vt220 style; 7 and 8 are rxvt's).
KeyDecode tildeKey(int used, int n) {
    switch (n) {
        case 1:
        case 7:
            return ext(used, 71);  // Home
        case 2:
            return ext(used, 82);  // Insert
        case 3:
            return ext(used, 83);  // Delete
        case 4:
        case 8:
            return ext(used, 79);  // End
        case 5:
            return ext(used, 73);  // PgUp
        case 6:
            return ext(used, 81);  // PgDn
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
            return F(used, n - 10);
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
            return F(used, n - 11);
        case 23:
        case 24:
            return F(used, n - 12);
        default:
            return dropped(used);
    }
}

bool isParam(unsigned char c) { return c >= 0x30 && c <= 0x3F; }
bool isIntermediate(unsigned char c) { return c >= 0x20 && c <= 0x2F; }
bool isFinal(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

// bytes[0..2) is ESC [ or ESC O; decodes parameters and the final byte.
KeyDecode decodeSequence(const unsigned char* b, int n, bool ended) {
    const bool csi = b[1] == '[';
    if (n == 2) return ended ? one(2, b[1]) : needMore();  // nothing followed: Alt+[ / Alt+O
    if (csi && b[2] == '[') {                              // Linux console F1..F5: ESC [ [ A..E
        if (n == 3) return ended ? dropped(3) : needMore();
        return b[3] >= 'A' && b[3] <= 'E' ? F(4, b[3] - 'A' + 1) : dropped(4);
    }
    int i = 2;
    while (i < n && isParam(b[i])) ++i;
    const int paramEnd = i;
    while (i < n && isIntermediate(b[i])) ++i;
    if (i == n) return ended ? dropped(n) : needMore();
    if (!isFinal(b[i])) return dropped(i);  // broken off: the stray byte is a key of its own
    const int used = i + 1;
    if (paramEnd != i) return dropped(used);

    // Parameters: digits and ';' only (anything else is a private form such
    // as a mouse report). The first number picks the key of ESC [ n ~; the
    // rest are modifiers, which are dropped.
    int first = 0;
    bool inFirst = true;
    for (int k = 2; k < paramEnd; ++k) {
        if (b[k] == ';')
            inFirst = false;
        else if (b[k] >= '0' && b[k] <= '9') {
            if (inFirst && first < 1000) first = first * 10 + (b[k] - '0');
        } else
            return dropped(used);
    }
    if (csi && b[i] == '~') return tildeKey(used, first);
    if (first > 1 && csi) return dropped(used);  // ESC [ 2 A and the like are not keys
    return letterKey(used, b[i]);
}

}  // namespace

KeyDecode decodeKey(const unsigned char* b, int n, bool ended) {
    if (n <= 0) return needMore();
    if (b[0] != ESC) return one(1, b[0]);
    if (n == 1) return ended ? one(1, ESC) : needMore();
    if (b[1] == '[' || b[1] == 'O') return decodeSequence(b, n, ended);
    // Alt+key: the key alone, whatever it is (a byte, a sequence, Escape).
    KeyDecode k = decodeKey(b + 1, n - 1, ended);
    if (k.used > 0) ++k.used;
    return k;
}
