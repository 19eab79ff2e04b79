// Ctrl-C, SIGTERM and hang-up while playing: the handlers only note the
// signal; the main loop shuts down in order when it sees it.
#pragma once

// Replaces the handlers of SIGINT, SIGTERM and SIGHUP with ones that note
// the signal (and interrupt a waiting poll).
void catchStopSignals();

// The same for SIGPIPE, from the start: output that can no longer be
// written (a closed pipe) must not kill the program with the terminal left
// in key-at-a-time mode.
void catchBrokenPipe();

// The last signal noted, or 0.
int stopSignal();
