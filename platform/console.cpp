// Console key input over POSIX termios and poll(): key-at-a-time terminal
// mode, restored on every way out, and a small queue of decoded key values.
#include "console.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "console_keys.h"

namespace {

using Clock = std::chrono::steady_clock;

// The rest of an escape sequence comes in the same write as its ESC; an ESC
// with nothing after it for this long is the Escape key.
constexpr int ESC_WAIT_MS = 30;

bool started = false;
int inFd = -1;       // standard input, or -1 when there is none
bool ended = false;  // end of input seen: -1 from now on

// Bytes read but not decoded yet: only ever the start of an unfinished
// escape sequence, which arrived at pendingSince.
unsigned char raw[64];
int rawLen = 0;
Clock::time_point pendingSince;

// Decoded values not yet read. Refilled only when empty, from at most
// sizeof raw bytes, and a byte never gives more than one value.
int queue[sizeof raw];
int queueHead = 0;
int queueLen = 0;

// Terminal state, shared with the signal handlers, which may run on any
// thread (lock-free atomics are safe there). termFd, saved and keyMode are
// written once, before any handler is installed.
int termFd = -1;
termios saved;
termios keyMode;
std::atomic<int> haveTerminal{0};  // saved and keyMode are valid
std::atomic<int> keyModeOn{0};     // the terminal may be in keyMode
std::atomic<int> keyModeWanted{0};
static_assert(std::atomic<int>::is_always_lock_free);

void setTerminal(const termios& t) {
    while (tcsetattr(termFd, TCSANOW, &t) == -1 && errno == EINTR) {
    }
}

void restoreTerminal() {
    if (haveTerminal && keyModeOn) {
        setTerminal(saved);
        keyModeOn = 0;
    }
}

void applyKeyMode() {
    if (haveTerminal && keyModeWanted) {
        keyModeOn = 1;  // before the change, so a signal in between restores
        setTerminal(keyMode);
    }
}

// SIGINT, SIGTERM and the like: put the terminal back, then die of the
// signal as if we had never caught it.
void onFatalSignal(int sig) {
    const int e = errno;
    restoreTerminal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);  // pending until this handler returns
    errno = e;
}

// Ctrl-Z: the shell gets its terminal back while we are stopped, and we
// take key mode again when continued (or at once if the stop is discarded,
// as it is for an orphaned process group).
void onStopSignal(int sig) {
    const int e = errno;
    restoreTerminal();
    struct sigaction act {};
    act.sa_handler = SIG_DFL;
    sigemptyset(&act.sa_mask);
    sigaction(sig, &act, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);  // stops here until SIGCONT
    act.sa_handler = onStopSignal;
    sigaction(sig, &act, nullptr);
    applyKeyMode();
    errno = e;
}

// Catches the signal unless someone before us chose to ignore or handle it.
void catchSignal(int sig, void (*handler)(int)) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
    struct sigaction act {};
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    sigaction(sig, &act, nullptr);
}

void endInput() {
    ended = true;
    inFd = -1;
}

// Finds standard input once. A closed descriptor 0 would later be reused by
// whatever the process opens next (a socket, a device), so /dev/null takes
// its place.
void start() {
    if (started) return;
    started = true;
    if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
        const int fd = open("/dev/null", O_RDONLY);
        if (fd > STDIN_FILENO) close(fd);
        ended = true;
        return;
    }
    inFd = STDIN_FILENO;
}

void push(int v) { queue[(queueHead + queueLen++) % int(sizeof raw)] = v; }

// Decodes what raw holds; what remains is an unfinished sequence.
void decodeRaw(bool inputEnded) {
    int pos = 0;
    while (pos < rawLen) {
        const KeyDecode k = decodeKey(raw + pos, rawLen - pos, inputEnded);
        if (k.used == 0) break;
        for (int i = 0; i < k.count; ++i) push(k.values[i]);
        pos += k.used;
    }
    if (pos > 0) {
        std::memmove(raw, raw + pos, size_t(rawLen - pos));
        rawLen -= pos;
        pendingSince = Clock::now();
    }
}

// Waits up to timeoutMs (-1: without limit) for input and appends what has
// come to raw. False when the time ran out, or a signal interrupted.
bool readInput(int timeoutMs) {
    pollfd p{inFd, POLLIN, 0};
    const int r = poll(&p, 1, timeoutMs);
    if (r == 0 || (r < 0 && errno == EINTR)) return false;
    if (r < 0 || (p.revents & POLLNVAL)) {
        endInput();
        return true;
    }
    // POLLIN, POLLHUP or POLLERR: read tells data from end of input.
    const ssize_t n = read(inFd, raw + rawLen, sizeof raw - size_t(rawLen));
    if (n > 0) {
        if (rawLen == 0) pendingSince = Clock::now();
        rawLen += int(n);
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    endInput();  // 0 is end of file; EIO is a terminal hang-up
    return true;
}

// Fills the queue if it is empty, waiting for a key only when `wait`. The
// one wait without `wait` is for the rest of an escape sequence, at most
// ESC_WAIT_MS after its ESC arrived, so that nothing is left pending that
// a poll() of the descriptor would not report.
void pump(bool wait) {
    start();
    while (queueLen == 0 && !ended) {
        if (rawLen == 0) {
            if (!readInput(wait ? -1 : 0) && !wait) return;
        } else {
            const auto waited =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pendingSince).count();
            if (waited >= ESC_WAIT_MS || rawLen == int(sizeof raw)) {
                decodeRaw(true);
                continue;
            }
            readInput(int(ESC_WAIT_MS - waited));
        }
        decodeRaw(ended);
    }
    if (ended && rawLen > 0) decodeRaw(true);
}

}  // namespace

void consoleOpen() {
    start();
    if (haveTerminal || inFd < 0 || !isatty(inFd) || tcgetattr(inFd, &saved) != 0) return;
    termFd = inFd;
    keyMode = saved;
    // Keys arrive one byte at a time without echo; Ctrl-C still signals.
    keyMode.c_lflag &= tcflag_t(~(ICANON | ECHO | IEXTEN));
    keyMode.c_lflag |= ISIG;
    keyMode.c_cc[VMIN] = 1;
    keyMode.c_cc[VTIME] = 0;
    haveTerminal = 1;
    keyModeWanted = 1;

    std::atexit(consoleRestore);
    for (int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGABRT}) catchSignal(sig, onFatalSignal);
    catchSignal(SIGTSTP, onStopSignal);
    applyKeyMode();
}

bool consoleKeyWaiting() {
    pump(false);
    return queueLen > 0 || ended;
}

int consoleReadKey() {
    pump(true);
    if (queueLen == 0) return -1;
    const int v = queue[queueHead];
    queueHead = (queueHead + 1) % int(sizeof raw);
    --queueLen;
    return v;
}

int consoleFd() {
    start();
    return inFd;
}

void consoleRestore() noexcept {
    keyModeWanted = 0;
    restoreTerminal();
}
