// Start-up dialogue on the console: checks the audio system's version, asks
// for the output type and the driver, and initialises the audio system.
#include <cstdio>
#include <cstdlib>

#include "audio.h"
#include "console.h"
#include "fsound.h"
#include "renderer.h"

namespace {

constexpr float REQUIRED_VERSION = 3.74f;
constexpr int SOFTWARE_CHANNELS = 32;
constexpr unsigned int INIT_FLAGS = 0;
constexpr int KEY_ESCAPE = 27;

constexpr const char* SEPARATOR = "---------------------------------------------------------\n";
constexpr const char* PROMPT = "Press a corresponding number or ESC to quit\n";

// The menu's key order differs from the output codes.
struct OutputChoice {
    char key;
    const char* line;
    int output;
};
constexpr OutputChoice OUTPUT_CHOICES[] = {
    {'1', "1 - Direct Sound\n", OUTPUT_DIRECTSOUND},
    {'2', "2 - Windows Multimedia Waveout\n", OUTPUT_WAVEOUT},
    {'3', "3 - ASIO\n", OUTPUT_ASIO},
    {'4', "4 - NoSound\n", OUTPUT_NOSOUND},
};

// Empty for a code without a name, so the confirmation still reads " Driver list".
const char* outputName(int output) {
    switch (output) {
        case OUTPUT_NOSOUND:
            return "NoSound";
        case OUTPUT_WAVEOUT:
            return "Windows Multimedia Waveout";
        case OUTPUT_DIRECTSOUND:
            return "Direct Sound";
        case OUTPUT_OSS:
            return "Open Sound System";
        case OUTPUT_ESD:
            return "Enlightment Sound Daemon";
        case OUTPUT_ALSA:
            return "Alsa";
        case OUTPUT_ASIO:
            return "ASIO";
        default:
            return "";
    }
}

// The next key, 0..255. Escape leaves the program; so does the end of
// console input, since no menu could ever be answered then.
int readMenuKey() {
    std::fflush(stdout);  // the prompt must show even when stdout is a pipe
    int key = consoleReadKey();
    if (key < 0) {
        std::printf("Error : no console input to choose the audio output from\n");
        std::exit(1);
    }
    if (key == KEY_ESCAPE) std::exit(0);
    return key;
}

int chooseOutput() {
    for (;;) {
        int key = readMenuKey();
        for (const OutputChoice& choice : OUTPUT_CHOICES) {
            if (key == choice.key) return choice.output;
        }
    }
}

int chooseDriver() {
    for (;;) {
        // Keys 128..255 are negative as signed chars and never pick a driver.
        int index = static_cast<signed char>(readMenuKey()) - '1';
        if (index >= 0 && index < FSOUND_GetNumDrivers()) return index;
    }
}

}  // namespace

int selectOutput() {
    // Written so that a NaN version is refused too.
    if (!(FSOUND_GetVersion() >= REQUIRED_VERSION)) {
        std::printf("Error : You are using the wrong DLL version!  You should be using FMOD %.02f\n",
                    static_cast<double>(REQUIRED_VERSION));
        return 0;
    }
    consoleOpen();

    std::printf("%s", SEPARATOR);
    std::printf("Output Type\n");
    std::printf("%s", SEPARATOR);
    for (const OutputChoice& choice : OUTPUT_CHOICES) std::printf("%s", choice.line);
    std::printf("%s", SEPARATOR);
    std::printf("%s", PROMPT);

    FSOUND_SetOutput(chooseOutput());

    std::printf("%s", SEPARATOR);
    std::printf("%s Driver list\n", outputName(FSOUND_GetOutput()));
    std::printf("%s", SEPARATOR);
    for (int i = 0; i < FSOUND_GetNumDrivers(); ++i) {
        const char* name = FSOUND_GetDriverName(i);
        std::printf("%d - %s\n", i + 1, name ? name : "(null)");
    }
    std::printf("%s", SEPARATOR);
    std::printf("%s", PROMPT);

    FSOUND_SetDriver(chooseDriver());
    if (FSOUND_Init(MIX_RATE, SOFTWARE_CHANNELS, INIT_FLAGS)) return 1;
    std::printf("Error!\n");
    std::printf("%s\n", audioErrorString(FSOUND_GetError()));
    return 0;
}
