// Choosing the audio output on the console, and the audio system's error
// codes as text.
#pragma once

// Checks the audio system's version, asks for the output type and the
// driver, and initialises the audio system. 1 when it is ready; 0 after a
// printed reason. Escape at either menu ends the process with status 0;
// the end of console input, after a one-line message, with status 1.
int selectOutput();

// The message for an audio system error code; never null.
const char* audioErrorString(int code);
