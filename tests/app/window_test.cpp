// pollWindow on SDL's dummy video driver, fed with pushed events: the z
// gate, Escape's exit, and the events that must do nothing.
#include "window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "patch.h"

namespace {

class Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE), 0) << SDL_GetError();
        ASSERT_NE(SDL_SetVideoMode(640, 800, 0, SDL_ANYFORMAT), nullptr) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override {
        createPatch();
        pollWindow();  // whatever SDL queued on its own at start
    }

    static void pushKey(Uint8 type, SDLKey sym) {
        SDL_Event e{};
        e.type = type;
        e.key.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.sym = sym;
        ASSERT_EQ(SDL_PushEvent(&e), 0) << SDL_GetError();
    }

    static std::string drain() {
        ::testing::internal::CaptureStdout();
        pollWindow();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(Window, ZPressTriggersAndReleaseReleases) {
    pushKey(SDL_KEYDOWN, SDLK_z);
    EXPECT_EQ(drain(), "\nTRIG\n");
    EXPECT_EQ(env.active, 1);
    EXPECT_EQ(env.segment, SEGMENT_ATTACK);

    pushKey(SDL_KEYUP, SDLK_z);
    EXPECT_EQ(drain(), "UNTRIG\n");
    EXPECT_EQ(env.segment, SEGMENT_RELEASED);
}

TEST_F(Window, EveryWaitingEventIsHandledInOneCall) {
    pushKey(SDL_KEYDOWN, SDLK_z);
    pushKey(SDL_KEYUP, SDLK_z);
    pushKey(SDL_KEYDOWN, SDLK_z);
    EXPECT_EQ(drain(), "\nTRIG\nUNTRIG\n\nTRIG\n");
    EXPECT_EQ(drain(), "");
}

TEST_F(Window, OtherKeysAndTheCloseRequestDoNothing) {
    for (SDLKey sym : {SDLK_a, SDLK_w, SDLK_PERIOD, SDLK_RETURN, SDLK_SPACE}) {
        pushKey(SDL_KEYDOWN, sym);
        pushKey(SDL_KEYUP, sym);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    EXPECT_EQ(drain(), "");
    EXPECT_EQ(env.active, 0);
    EXPECT_EQ(env.segment, SEGMENT_ATTACK);
}

TEST_F(Window, EscapeEndsTheProcessWithStatusZeroLeavingLaterEventsUnhandled) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (Uint8 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        EXPECT_EXIT(
            {
                std::fflush(stdout);
                dup2(STDERR_FILENO, STDOUT_FILENO);  // a stray TRIG fails the match
                pushKey(type, SDLK_ESCAPE);
                pushKey(SDL_KEYDOWN, SDLK_z);  // must not be reached
                pollWindow();
                std::fprintf(stderr, "pollWindow returned\n");
                std::_Exit(3);
            },
            ::testing::ExitedWithCode(0), "^$");
    }
}

}  // namespace
