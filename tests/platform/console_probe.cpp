// Test helper: opens the console and prints every key value it reads, one
// per line, the way the program's loop reads them. Ends on '.' (returning
// from main) or at end of input, after checking that -1 then stays.
// Argument "block": read without asking first; "nohup": ignore SIGHUP.
#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "console.h"

int main(int argc, char** argv) {
    const bool block = argc > 1 && std::strcmp(argv[1], "block") == 0;
    if (argc > 1 && std::strcmp(argv[1], "nohup") == 0) std::signal(SIGHUP, SIG_IGN);
    consoleOpen();
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        if (!block && !consoleKeyWaiting()) {
            pollfd p{consoleFd(), POLLIN, 0};
            poll(&p, 1, -1);
            continue;
        }
        const int key = consoleReadKey();
        std::printf("%d\n", key);
        std::fflush(stdout);
        if (key == '.') return 0;
        if (key == -1) {
            for (int i = 0; i < 100; ++i)
                if (!consoleKeyWaiting() || consoleReadKey() != -1 || consoleFd() != -1) return 3;
            std::printf("end\n");
            return 0;
        }
    }
}
