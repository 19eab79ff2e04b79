// Ctrl-C, SIGTERM and hang-up while playing: the handlers only note the
// signal; the main loop shuts down in order when it sees it.
#pragma once

// Replaces the handlers of SIGINT, SIGTERM and SIGHUP with ones that note
// the signal (and interrupt a waiting poll).
void catchStopSignals();

// The last signal noted, or 0.
int stopSignal();
