// The start-up dialogue against a fake audio system and scripted keys. Each
// run happens in a child process, since Escape and the end of input leave
// the process from inside selectOutput.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "audio.h"
#include "fakes.h"

namespace {

const std::string SEP = std::string(57, '-') + "\n";
const std::string PROMPT = "Press a corresponding number or ESC to quit\n";
const std::string OUTPUT_MENU = SEP + "Output Type\n" + SEP +
                                "1 - Direct Sound\n"
                                "2 - Windows Multimedia Waveout\n"
                                "3 - ASIO\n"
                                "4 - NoSound\n" +
                                SEP + PROMPT;
const std::string NO_INPUT = "Error : no console input to choose the audio output from\n";
const std::string WRONG_VERSION = "Error : You are using the wrong DLL version!  You should be using FMOD 3.74\n";

std::string driverMenu(const std::string& outputName, const std::vector<std::string>& drivers) {
    std::string text = SEP + outputName + " Driver list\n" + SEP;
    for (std::size_t i = 0; i < drivers.size(); ++i) text += std::to_string(i + 1) + " - " + drivers[i] + "\n";
    return text + SEP + PROMPT;
}

std::vector<int> keys(const std::string& bytes) {
    std::vector<int> values;
    for (char c : bytes) values.push_back(static_cast<unsigned char>(c));
    return values;
}

// How one run of selectOutput ended.
struct Outcome {
    std::string out;               // standard output
    std::vector<std::string> log;  // calls to the fakes, in order
    int returned = -1;             // selectOutput's result, if it returned
    int exitStatus = -1;           // the status, if it left the process itself
    int signal = 0;                // nonzero if the child was killed (a hang)

    long count(const std::string& call) const { return std::count(log.begin(), log.end(), call); }
};

constexpr int RETURNED = 100;  // child's status is RETURNED + result when selectOutput returns

Outcome runSelectOutput() {
    int outPipe[2], logPipe[2];
    if (pipe(outPipe) != 0 || pipe(logPipe) != 0) ADD_FAILURE() << "pipe";
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(outPipe[0]);
        close(logPipe[0]);
        dup2(outPipe[1], STDOUT_FILENO);
        close(outPipe[1]);
        fakeLogFd = logPipe[1];
        alarm(20);  // a run that never decides is killed rather than hanging the suite
        int result = selectOutput();
        std::fflush(stdout);
        _exit(RETURNED + result);
    }
    close(outPipe[1]);
    close(logPipe[1]);

    // Read both pipes together so neither can fill up and stall the child.
    std::string out, log;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {logPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&out, &log};
    int open = 2;
    while (open > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);

    Outcome outcome;
    outcome.out = out;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) outcome.log.push_back(line);
    if (WIFSIGNALED(status)) {
        outcome.signal = WTERMSIG(status);
    } else if (WEXITSTATUS(status) >= RETURNED) {
        outcome.returned = WEXITSTATUS(status) - RETURNED;
    } else {
        outcome.exitStatus = WEXITSTATUS(status);
    }
    return outcome;
}

class SelectOutputTest : public testing::Test {
protected:
    std::vector<std::string> driverNames = {"Speakers", "Headphones"};

    void SetUp() override {
        fakeAudio = FakeAudio{};
        fakeConsole = FakeConsole{};
        useDrivers(driverNames);
    }
    void useDrivers(const std::vector<std::string>& names) {
        driverNames = names;
        fakeAudio.drivers.clear();
        for (const std::string& name : driverNames) fakeAudio.drivers.push_back(name.c_str());
    }
    Outcome run(const std::vector<int>& script) {
        fakeConsole.keys = script;
        return runSelectOutput();
    }
    Outcome run(const std::string& script) { return run(keys(script)); }
};

TEST_F(SelectOutputTest, ChoosesOutputAndDriverThenInitialises) {
    Outcome r = run("12");
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames));
    std::vector<std::string> calls = {
        "GetVersion",    "consoleOpen",     "ReadKey",       "SetOutput 2",     "GetOutput",
        "GetNumDrivers", "GetDriverName 0", "GetNumDrivers", "GetDriverName 1", "GetNumDrivers",
        "ReadKey",       "GetNumDrivers",   "SetDriver 1",   "Init 44100 32 0",
    };
    EXPECT_EQ(r.log, calls);
}

TEST_F(SelectOutputTest, MenuKeysMapToOutputCodes) {
    struct Case {
        char key;
        int output;
        const char* name;
    };
    for (Case c : {Case{'1', 2, "Direct Sound"}, Case{'2', 1, "Windows Multimedia Waveout"}, Case{'3', 7, "ASIO"},
                   Case{'4', 0, "NoSound"}}) {
        Outcome r = run(std::string{c.key, '1'});
        EXPECT_EQ(r.returned, 1) << c.key;
        EXPECT_EQ(r.count("SetOutput " + std::to_string(c.output)), 1) << c.key;
        EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu(c.name, driverNames)) << c.key;
    }
}

TEST_F(SelectOutputTest, OtherKeysAtTheOutputMenuDoNothing) {
    // Letters, digits outside the menu, Enter, and the two values of a cursor key.
    std::vector<int> script = keys("abcA0 5689\r\n\x7f");
    for (int key : {0, 59, 224, 72, 128, 177, 255}) script.push_back(key);
    script.push_back('4');
    script.push_back('1');
    Outcome r = run(script);
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("NoSound", driverNames));
    EXPECT_EQ(r.count("SetOutput 0"), 1);
    EXPECT_EQ(r.count("GetOutput"), 1);
}

TEST_F(SelectOutputTest, ConfirmationNamesTheOutputInEffect) {
    struct Case {
        int output;
        std::string name;
    };
    fakeAudio.reportSetOutput = false;  // the audio system may settle on another output than the one asked for
    for (const Case& c :
         {Case{0, "NoSound"}, Case{1, "Windows Multimedia Waveout"}, Case{2, "Direct Sound"},
          Case{4, "Open Sound System"}, Case{5, "Enlightment Sound Daemon"}, Case{6, "Alsa"}, Case{7, "ASIO"},
          Case{3, ""}, Case{8, ""}, Case{9, ""}, Case{-1, ""}, Case{INT_MIN, ""}, Case{INT_MAX, ""}}) {
        fakeAudio.output = c.output;
        Outcome r = run("11");
        EXPECT_EQ(r.returned, 1) << c.output;
        EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu(c.name, driverNames)) << c.output;
    }
}

TEST_F(SelectOutputTest, DriverKeysOutOfRangeAreIgnoredAndTheCountAskedEachTime) {
    // '0' is index -1 (count not needed), '3' index 2 (one past the end), 255 is -1 as a signed char.
    Outcome r = run(std::vector<int>{'1', '0', '3', 255, 'a', '2'});
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames));
    std::vector<std::string> afterList(r.log.end() - 11, r.log.end());
    std::vector<std::string> calls = {
        "GetNumDrivers",  // the one that ends the list
        "ReadKey",       "ReadKey", "GetNumDrivers", "ReadKey",     "ReadKey",
        "GetNumDrivers", "ReadKey", "GetNumDrivers", "SetDriver 1", "Init 44100 32 0",
    };
    EXPECT_EQ(afterList, calls);
}

TEST_F(SelectOutputTest, NoDrivers) {
    useDrivers({});
    Outcome r = run("1129\x1b");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, OUTPUT_MENU + SEP + "Direct Sound Driver list\n" + SEP + SEP + PROMPT);
    EXPECT_EQ(r.count("SetDriver 0"), 0);
    EXPECT_EQ(r.count("GetDriverName 0"), 0);
}

TEST_F(SelectOutputTest, TenthDriverIsTheKeyAfterNine) {
    useDrivers({"d1", "d2", "d3", "d4", "d5", "d6", "d7", "d8", "d9", "d10"});
    Outcome r = run("1;:");  // ';' would be the eleventh
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames));
    EXPECT_NE(r.out.find("\n10 - d10\n"), std::string::npos);
    EXPECT_EQ(r.count("SetDriver 9"), 1);
    EXPECT_EQ(r.count("Init 44100 32 0"), 1);
}

TEST_F(SelectOutputTest, KeysAbove127NeverPickADriver) {
    // Enough drivers that an unsigned key minus '1' would be in range.
    std::vector<std::string> names;
    for (int i = 0; i < 256; ++i) names.push_back("driver " + std::to_string(i));
    useDrivers(names);
    std::vector<int> script = {'1'};
    for (int key = 128; key <= 255; ++key) script.push_back(key);
    script.push_back('1');
    Outcome r = run(script);
    EXPECT_EQ(r.returned, 1);  // and 255 was not taken for the end of input
    EXPECT_EQ(r.count("SetDriver 0"), 1);
    EXPECT_EQ(r.count("Init 44100 32 0"), 1);
    EXPECT_EQ(r.count("ReadKey"), 130);
}

TEST_F(SelectOutputTest, NullDriverNameIsShownAsNull) {
    fakeAudio.drivers = {"Speakers", nullptr};
    Outcome r = run("12");
    EXPECT_EQ(r.returned, 1);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", {"Speakers", "(null)"}));
    EXPECT_EQ(r.count("SetDriver 1"), 1);
}

TEST_F(SelectOutputTest, EscapeAtTheOutputMenuEndsWithStatusZero) {
    Outcome r =
        run("x\x1b"
            "1");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, OUTPUT_MENU);
    EXPECT_EQ(r.count("SetOutput 2"), 0);
}

TEST_F(SelectOutputTest, EscapeAtTheDriverMenuEndsWithStatusZero) {
    Outcome r =
        run("1x\x1b"
            "1");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames));
    EXPECT_EQ(r.count("SetDriver 0"), 0);
    EXPECT_EQ(r.count("Init 44100 32 0"), 0);
}

TEST_F(SelectOutputTest, EndOfInputAtEitherMenuEndsWithStatusOneAndOneLine) {
    Outcome atOutput = run("x");
    EXPECT_EQ(atOutput.exitStatus, 1);
    EXPECT_EQ(atOutput.out, OUTPUT_MENU + NO_INPUT);
    EXPECT_EQ(atOutput.count("ReadKey"), 2);  // no read after the end was seen
    EXPECT_EQ(atOutput.count("SetOutput 2"), 0);

    Outcome atDriver = run("1x");
    EXPECT_EQ(atDriver.exitStatus, 1);
    EXPECT_EQ(atDriver.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames) + NO_INPUT);
    EXPECT_EQ(atDriver.count("ReadKey"), 3);
    EXPECT_EQ(atDriver.count("Init 44100 32 0"), 0);
}

TEST_F(SelectOutputTest, KeysAreReadOnlyAfterTheConsoleIsOpened) {
    Outcome r = run("12");
    EXPECT_EQ(r.count("ReadKey before consoleOpen"), 0);
    EXPECT_EQ(r.count("consoleOpen"), 1);
}

TEST_F(SelectOutputTest, VersionBelowRequiredIsRefusedBeforeAnyMenu) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float version : {3.73f, std::nextafter(3.74f, 0.0f), 0.0f, -inf, nan, -nan}) {
        fakeAudio.version = version;
        Outcome r = run("12");
        EXPECT_EQ(r.returned, 0) << version;
        EXPECT_EQ(r.out, WRONG_VERSION) << version;
        EXPECT_EQ(r.log, std::vector<std::string>{"GetVersion"}) << version;
    }
    for (float version : {3.74f, std::nextafter(3.74f, 4.0f), 3.75f, 100.0f, inf}) {
        fakeAudio.version = version;
        Outcome r = run("12");
        EXPECT_EQ(r.returned, 1) << version;
        EXPECT_EQ(r.out.find("Error"), std::string::npos) << version;
    }
}

TEST_F(SelectOutputTest, InitialisationFailureReportsTheError) {
    struct Case {
        signed char initResult;
        int error;
        std::string printed;  // after the driver menu
        int returned;
    };
    for (const Case& c : {
             Case{0, 3, "Error!\nError initializing output device.\n", 0},
             Case{0, 6,
                  "Error!\nSoundcard does not support the features needed for this soundsystem (16bit stereo output)\n",
                  0},
             Case{0, 12, "Error!\nNot enough memory \n", 0}, Case{0, 99, "Error!\nUnknown error\n", 0},
             Case{-1, 3, "", 1},  // any nonzero result means ready
         }) {
        fakeAudio.initResult = c.initResult;
        fakeAudio.error = c.error;
        Outcome r = run("12");
        EXPECT_EQ(r.returned, c.returned) << c.error;
        EXPECT_EQ(r.out, OUTPUT_MENU + driverMenu("Direct Sound", driverNames) + c.printed) << c.error;
        EXPECT_EQ(r.count("GetError"), c.returned ? 0 : 1) << c.error;
        EXPECT_EQ(r.count("SetDriver 1"), 1);
    }
}

}  // namespace
