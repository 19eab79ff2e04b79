// The audio system's operations: version, output codes and their fallback,
// the driver list, and the error code of every misuse.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fsound.h"
#include "fsound_test_support.h"

using namespace fsound_test;

namespace {

signed char silence(FSOUND_STREAM*, void*, int, void*) { return 1; }

// Every test starts with nothing initialised, on output 0, and with the
// test ALSA configuration, whose playable devices are capture, mulaw, default.
class AudioApi : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSA_CONFIG_PATH", alsaConfig("fsound_test.conf").c_str(), 1);
        setenv("KEYSYNTH_CAPTURE_FILE", "/dev/null", 1);
        FSOUND_SetOutput(OUTPUT_NOSOUND);
    }
    void TearDown() override { FSOUND_Close(); }
};

// Everything written to stderr while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int fd = open(dir_.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        const auto bytes = readFile(dir_.file("stderr"));
        return {bytes.begin(), bytes.end()};
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }
    TempDir dir_;
    int saved_ = -1;
};

}  // namespace

TEST_F(AudioApi, ReportsVersion374) { EXPECT_EQ(FSOUND_GetVersion(), 3.74f); }

TEST_F(AudioApi, NoSoundOffersOneDriver) {
    EXPECT_EQ(FSOUND_GetOutput(), OUTPUT_NOSOUND);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 1);
    ASSERT_NE(FSOUND_GetDriverName(0), nullptr);
    EXPECT_STRNE(FSOUND_GetDriverName(0), "");
    EXPECT_EQ(FSOUND_SetDriver(0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_OK);
}

#ifdef __linux__
TEST_F(AudioApi, CodesThePlatformLacksFallBackToAlsaAndGetOutputSaysSo) {
    for (const int code : {OUTPUT_WAVEOUT, OUTPUT_DIRECTSOUND, OUTPUT_ASIO, OUTPUT_ESD, OUTPUT_ALSA}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(FSOUND_SetOutput(code), 1);
        EXPECT_EQ(FSOUND_GetOutput(), OUTPUT_ALSA);
    }
    // OSS where PortAudio was built with it, else the same fallback.
    FSOUND_SetOutput(OUTPUT_OSS);
    EXPECT_TRUE(FSOUND_GetOutput() == OUTPUT_OSS || FSOUND_GetOutput() == OUTPUT_ALSA);
}

TEST_F(AudioApi, AlsaDriversAreThePlayableDevicesByTheirNamesAskedAnew) {
    FSOUND_SetOutput(OUTPUT_ALSA);
    ASSERT_EQ(FSOUND_GetNumDrivers(), 3);
    EXPECT_STREQ(FSOUND_GetDriverName(0), "capture");
    EXPECT_STREQ(FSOUND_GetDriverName(1), "mulaw");
    EXPECT_STREQ(FSOUND_GetDriverName(2), "default");
    EXPECT_EQ(FSOUND_GetNumDrivers(), 3);
    EXPECT_EQ(FSOUND_GetDriverName(3), nullptr);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    // Back to output 0, the list is its own again.
    FSOUND_SetOutput(OUTPUT_NOSOUND);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 1);
}

TEST_F(AudioApi, InitChecksTheChosenDevice) {
    FSOUND_SetOutput(OUTPUT_ALSA);
    ASSERT_EQ(FSOUND_SetDriver(driverNamed("mulaw")), 1);  // refuses 16-bit samples
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_FORMAT);
    // Still not initialised: another driver may be chosen and tried.
    ASSERT_EQ(FSOUND_SetDriver(driverNamed("capture")), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_OK);
}

TEST_F(AudioApi, NothingAlsaOrPortAudioPrintsReachesStderr) {
    StderrCapture err;
    FSOUND_SetOutput(OUTPUT_ALSA);
    FSOUND_GetNumDrivers();
    FSOUND_SetDriver(driverNamed("mulaw"));
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);  // PortAudio reports a failed check on stderr here
    EXPECT_EQ(err.text(), "");
}

TEST(AudioApiSystemConfig, DiscoveryWithTheSystemAlsaConfigurationIsQuiet) {
    unsetenv("ALSA_CONFIG_PATH");  // the system's: dozens of complaints on a machine without sound card
    StderrCapture err;
    FSOUND_SetOutput(OUTPUT_ALSA);
    FSOUND_GetNumDrivers();
    FSOUND_Init(44100, 32, 0);
    FSOUND_Close();
    EXPECT_EQ(err.text(), "");
}

TEST(AudioApiNoDevice, InitWithoutAPlayableDeviceFailsWithCode3) {
    setenv("ALSA_CONFIG_PATH", alsaConfig("fsound_empty.conf").c_str(), 1);
    FSOUND_SetOutput(OUTPUT_ALSA);
    EXPECT_EQ(FSOUND_GetNumDrivers(), 0);  // its one PCM cannot be opened
    EXPECT_EQ(FSOUND_GetDriverName(0), nullptr);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INIT);
    FSOUND_Close();
}
#endif

TEST_F(AudioApi, InvalidChoicesFailWithCode14AndChangeNothing) {
    for (const int code : {3, -1, 8, 1000}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(FSOUND_SetOutput(code), 0);
        EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
        EXPECT_EQ(FSOUND_GetOutput(), OUTPUT_NOSOUND);
    }
    for (const int driver : {-1, 1, 99}) {
        SCOPED_TRACE(driver);
        EXPECT_EQ(FSOUND_SetDriver(driver), 0);
        EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
        EXPECT_EQ(FSOUND_GetDriverName(driver), nullptr);
    }
    EXPECT_EQ(FSOUND_Init(48000, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Init(44100, -1, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);  // the failures left it uninitialised
}

TEST_F(AudioApi, StreamOperationsBeforeInitFailWithCode2) {
    EXPECT_EQ(FSOUND_Stream_Create(silence, kBlockBytes, kMode, kRate, nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_NOT_INITIALISED);
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_NOT_INITIALISED);
    EXPECT_EQ(FSOUND_Stream_Close(nullptr), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_NOT_INITIALISED);
}

TEST_F(AudioApi, ChoicesAfterInitFailWithCode1UntilClose) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_ALREADY_INITIALISED);
    EXPECT_EQ(FSOUND_SetOutput(OUTPUT_NOSOUND), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_ALREADY_INITIALISED);
    EXPECT_EQ(FSOUND_SetDriver(0), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_ALREADY_INITIALISED);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 1);
}

TEST_F(AudioApi, InvalidStreamArgumentsFailWithCode14) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    struct Case {
        const char* what;
        FSOUND_STREAMCALLBACK callback;
        int length;
        unsigned mode;
        int rate;
    };
    const Case cases[] = {
        {"no callback", nullptr, kBlockBytes, kMode, kRate},
        {"length 0", silence, 0, kMode, kRate},
        {"negative length", silence, -kBlockBytes, kMode, kRate},
        {"length not whole frames", silence, kBlockBytes + 2, kMode, kRate},
        {"8-bit", silence, kBlockBytes, kMode & ~STREAM_16BITS, kRate},
        {"mono", silence, kBlockBytes, kMode & ~STREAM_STEREO, kRate},
        {"unsigned", silence, kBlockBytes, kMode & ~STREAM_SIGNED, kRate},
        {"rate 48000", silence, kBlockBytes, kMode, 48000},
        {"rate 0", silence, kBlockBytes, kMode, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FSOUND_Stream_Create(c.callback, c.length, c.mode, c.rate, nullptr), nullptr);
        EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    }
}

TEST_F(AudioApi, PlayAndCloseRefuseWhatIsNotAnOpenStream) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_STREAM* s = FSOUND_Stream_Create(silence, kBlockBytes, kMode, kRate, nullptr);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(FSOUND_Stream_Play(0, nullptr), -1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Play(-2, s), -1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Close(nullptr), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Close(s), 1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_OK);
    EXPECT_EQ(FSOUND_Stream_Close(s), 0);  // already closed
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Play(0, s), -1);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_INVALID_PARAM);
}

TEST_F(AudioApi, CloseEndsEveryStreamAndInitialisation) {
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_STREAM* s = FSOUND_Stream_Create(silence, kBlockBytes, kMode, kRate, nullptr);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(FSOUND_Stream_Play(0, s), 0);
    FSOUND_Close();
    EXPECT_EQ(FSOUND_Stream_Close(s), 0);
    EXPECT_EQ(FSOUND_GetError(), AUDIO_ERR_NOT_INITIALISED);
}
