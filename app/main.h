// The program's life on the main thread: start-up, main loop, shutdown.
#pragma once

// Called by the SDL entry with the process's arguments (unused). Returns 0
// after an ordinary shutdown; ends the process itself on start-up failures
// (status 1), Escape (0) and Ctrl-C or SIGTERM (128 + the signal).
int keysynthMain(int argc, char** argv);
