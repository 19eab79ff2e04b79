// The audio system: version query, output type and driver choice,
// initialisation, and user streams filled by a callback on the audio
// system's own thread. Backed by PortAudio; output 0 plays nothing but
// keeps the stream's real pace.
#pragma once

struct FSOUND_STREAM;

// Fills a block of `length` bytes; a nonzero result keeps the stream playing.
typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* block, int length, void* userdata);

// Output codes
enum : int {
    OUTPUT_NOSOUND = 0,
    OUTPUT_WAVEOUT = 1,
    OUTPUT_DIRECTSOUND = 2,
    OUTPUT_OSS = 4,
    OUTPUT_ESD = 5,
    OUTPUT_ALSA = 6,
    OUTPUT_ASIO = 7,
};

// Stream mode bits that must be set: 16-bit, stereo, signed samples.
enum : unsigned int {
    STREAM_16BITS = 0x10,
    STREAM_STEREO = 0x40,
    STREAM_SIGNED = 0x100,
};

// Error codes returned by FSOUND_GetError; audioErrorString gives their text.
enum : int {
    AUDIO_OK = 0,
    AUDIO_ERR_ALREADY_INITIALISED = 1,
    AUDIO_ERR_NOT_INITIALISED = 2,
    AUDIO_ERR_INIT = 3,
    AUDIO_ERR_BUSY = 4,
    AUDIO_ERR_PLAY = 5,
    AUDIO_ERR_FORMAT = 6,
    AUDIO_ERR_MEMORY = 12,
    AUDIO_ERR_INVALID_PARAM = 14,
};

float FSOUND_GetVersion();
signed char FSOUND_SetOutput(int output);
int FSOUND_GetOutput();
int FSOUND_GetNumDrivers();
const char* FSOUND_GetDriverName(int driver);
signed char FSOUND_SetDriver(int driver);
signed char FSOUND_Init(int mixRate, int softwareChannels, unsigned int flags);
int FSOUND_GetError();
FSOUND_STREAM* FSOUND_Stream_Create(FSOUND_STREAMCALLBACK callback, int length, unsigned int mode, int sampleRate,
                                    void* userdata);
int FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
void FSOUND_Close();
