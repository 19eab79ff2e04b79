// The main loop's pause: sleep until a console key or a window event can be
// read, for at most a few milliseconds, so an idle program uses no CPU.
#pragma once

constexpr int INPUT_WAIT_MS = 5;

// Waits until the console or the window connection (windowFd, -1 for none)
// is readable, a signal arrives, or timeoutMs has passed.
void waitForInput(int windowFd, int timeoutMs);
