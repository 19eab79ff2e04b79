// Console key input: single keys without echo and without waiting for
// Enter. The terminal's settings are restored on every way out.
#pragma once

// Puts a terminal on standard input into key-at-a-time mode (no canonical
// mode, no echo, signals kept) and arranges its restoration at exit and on
// SIGINT/SIGTERM. Harmless when standard input is not a terminal or absent.
void consoleOpen();

// True when consoleReadKey would not wait: a key value is ready, or input
// has ended (the read then gives -1). Never blocks.
bool consoleKeyWaiting();

// The next key value, 0..255, waiting for it if need be; -1 at the end of
// input (EOF, hang-up, no standard input), then on every later call.
// Cursor and function keys arrive as two values: a prefix (0 or 224) and
// the key's code.
int consoleReadKey();

// Descriptor to poll for key input (-1 when there is none).
int consoleFd();

// Puts the terminal back as it was. Async-signal-safe; idempotent.
void consoleRestore() noexcept;
