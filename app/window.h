// The window's events: its z key gates the envelope, Escape ends the
// program, everything else (the close button included) is ignored.
#pragma once

// Handles every waiting window event, then returns. On Escape it ends the
// process with status 0 instead.
void pollWindow();

// Descriptor of the window system's connection, readable when window
// events arrive; -1 when there is none (no window, or not X11).
int windowFd();
