// Turns the bytes a terminal sends into key values: plain bytes stay as they
// are; cursor, editing and function keys become two values, a prefix (0 or
// 224) and the key's code.
#pragma once

constexpr int KEY_PREFIX_F = 0;      // F1..F10
constexpr int KEY_PREFIX_EXT = 224;  // F11, F12, cursor and editing keys

// One decoded key: `used` bytes consumed, `count` (0..2) values delivered.
// count 0 with used > 0 is a sequence that was recognised as one but means
// no key we know; it is dropped whole.
struct KeyDecode {
    int used;
    int count;
    int values[2];
};

// Decodes the first key in bytes[0..n). used == 0 means the bytes begin an
// escape sequence that is not complete yet: call again when more bytes have
// come, or with `ended` true when no more are coming (the ESC wait ran out or
// input ended). With `ended` true, used > 0 whenever n > 0.
//
// Escape rules: ESC alone is the Escape key (27). ESC followed by a plain
// byte or by a whole key is that key pressed with Alt, delivered as the key
// alone. Modifiers inside a sequence (ESC [ 1 ; 5 A) are dropped: Ctrl+Up is
// Up. An unfinished sequence cut off by `ended` is dropped, except ESC [ and
// ESC O, which are then Alt+[ and Alt+O.
KeyDecode decodeKey(const unsigned char* bytes, int n, bool ended);
