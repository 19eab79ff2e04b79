// Console key input: single keys without echo and without waiting for
// Enter. The terminal's settings are restored on every way out.
#pragma once

// Puts a terminal on standard input into key-at-a-time mode (no canonical
// mode, no echo, signals kept) and arranges its restoration at exit and on
// SIGINT/SIGTERM/SIGQUIT/SIGHUP/SIGABRT (restore, then die of the signal)
// and around a Ctrl-Z stop. Signals that were already ignored or handled
// are left alone. Harmless when standard input is not a terminal or absent;
// a closed standard input is replaced by /dev/null so nothing else takes
// its descriptor. Call it before anything else installs signal handlers.
void consoleOpen();

// True when consoleReadKey would not wait: a key value is ready, or input
// has ended (the read then gives -1). Never waits for a key; right after an
// ESC byte it waits at most ~30 ms for the rest of an escape sequence.
// When it returns false, nothing is held back that a poll() of consoleFd()
// would not report.
bool consoleKeyWaiting();

// The next key value, 0..255, waiting for it if need be; -1 at the end of
// input (EOF, hang-up, no standard input), then on every later call.
// Cursor and function keys arrive as two values: a prefix (0 or 224) and
// the key's code (console_keys.h says which sequences are known). A lone
// ESC is the Escape key, 27. Standard input that is not a terminal is read
// the same way, byte by byte as it comes.
int consoleReadKey();

// Descriptor to poll for key input (-1 when there is none). Poll it only
// while consoleKeyWaiting() is false.
int consoleFd();

// Puts the terminal back as it was. Async-signal-safe; idempotent.
void consoleRestore() noexcept;
