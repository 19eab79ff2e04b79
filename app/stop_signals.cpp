// Signal handlers that set a flag and nothing else.
#include "stop_signals.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void noteSignal(int sig) { caught = sig; }

void catchSignals(std::initializer_list<int> signals) {
    struct sigaction sa {};
    sa.sa_handler = noteSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: a signal cuts the loop's wait short
    for (int sig : signals) sigaction(sig, &sa, nullptr);
}

}  // namespace

void catchStopSignals() { catchSignals({SIGINT, SIGTERM, SIGHUP}); }

void catchBrokenPipe() { catchSignals({SIGPIPE}); }

int stopSignal() { return caught; }
