// poll() on standard input and the window connection.
#include "input_wait.h"

#include <poll.h>

#include "console.h"

void waitForInput(int windowFd, int timeoutMs) {
    // A key already decoded (or end of input) needs no wait; the console
    // may hold bytes that poll cannot see.
    if (consoleKeyWaiting()) return;
    pollfd fds[2] = {
        {consoleFd(), POLLIN, 0},
        {windowFd, POLLIN, 0},
    };
    // Negative descriptors are skipped by poll; a closed or hung-up console
    // wakes it, and the next consoleKeyWaiting reports the end.
    poll(fds, 2, timeoutMs);
}
