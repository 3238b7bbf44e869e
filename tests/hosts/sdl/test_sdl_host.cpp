// The real SDL host with SDL's dummy video and audio drivers: a virtual
// gamepad plugged in while the game runs starts a run and moves the ball,
// a key tapped between two frames still reaches the game, and the picture
// follows the window's size.
#include <gtest/gtest.h>

#include <cstdlib>

#include "driver/session.h"
#include "hosts/sdl/sdl_host.h"
#include "game/shell/game_state.h"

namespace pm {
namespace {

class SdlHostRig : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        // The dummy driver's window never has the keyboard's focus, without
        // which SDL drops a pad's presses.
        ::setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    }

    void Start() {
        DesktopSettings windowed;
        windowed.FullScreen = false;
        host.Choose(windowed);
        session.Start(1);
    }

    // Ticks of the desktop driver; false as soon as one is not a played frame.
    bool Play(int ticks) {
        for (int t = 0; t < ticks; ++t)
            if (session.Run() != Session::Tick::Played) return false;
        return true;
    }

    // A key down and up again, as events only.
    static void Tap(SDL_Scancode code, SDL_Keycode sym) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event e{};
            e.type = type;
            e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.scancode = code;
            e.key.keysym.sym = sym;
            ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
        }
    }

    sdl::SdlHost host;
    Session session{host, &host};
    FormMain& form = session.Game();
};

TEST_F(SdlHostRig, AVirtualGamepadPlaysTheGame) {
    Start();
    ASSERT_TRUE(Play(2));
    EXPECT_EQ(host.OpenPads(), 0u);

    // Plugged in while the game runs.
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    ASSERT_NE(pad, nullptr) << SDL_GetError();
    ASSERT_TRUE(Play(2));
    EXPECT_EQ(host.OpenPads(), 1u);

    auto button = [&](SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(pad, b, down ? 1 : 0); };

    // Start on the title begins a run.
    ASSERT_EQ(form.GameState, 0);
    button(SDL_CONTROLLER_BUTTON_START, true);
    ASSERT_TRUE(Play(1));
    button(SDL_CONTROLLER_BUTTON_START, false);
    ASSERT_TRUE(Play(30));
    EXPECT_EQ(form.GameState, 1);

    // The d-pad and the stick run the ball right and left.
    float x = form.BallX;
    button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    ASSERT_TRUE(Play(20));
    button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_GT(form.BallX, x + 20);
    ASSERT_TRUE(Play(30));
    x = form.BallX;
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, -30000);
    ASSERT_TRUE(Play(20));
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, 0);
    EXPECT_LT(form.BallX, x - 20);

    // A jumps.
    ASSERT_TRUE(Play(30));
    const float ground = form.BallY;
    button(SDL_CONTROLLER_BUTTON_A, true);
    ASSERT_TRUE(Play(10));
    button(SDL_CONTROLLER_BUTTON_A, false);
    EXPECT_LT(form.BallY, ground - 20);
    ASSERT_TRUE(Play(90));

    // Start in play pauses and resumes.
    button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(session.Run(), Session::Tick::Paused);
    button(SDL_CONTROLLER_BUTTON_START, false);
    EXPECT_EQ(session.Run(), Session::Tick::Paused);
    button(SDL_CONTROLLER_BUTTON_START, true);
    EXPECT_EQ(session.Run(), Session::Tick::Resumed);
    button(SDL_CONTROLLER_BUTTON_START, false);

    // Back gives up the run (and with nothing scored, the title follows).
    ASSERT_EQ(form.GameState, 1);
    button(SDL_CONTROLLER_BUTTON_BACK, true);
    ASSERT_TRUE(Play(1));
    button(SDL_CONTROLLER_BUTTON_BACK, false);
    EXPECT_EQ(form.GameState, 3);

    // Unplugged: closed, and the game goes on from the keyboard.
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    ASSERT_TRUE(Play(2));
    EXPECT_EQ(host.OpenPads(), 0u);
}

TEST_F(SdlHostRig, AKeyTappedBetweenTwoFramesStillCounts) {
    Start();
    ASSERT_TRUE(Play(2));
    // Down and up again before the next frame: SDL's key state never shows
    // it, only its events do.
    Tap(SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    HostEvents events;
    const FrameInput tapped = GatherInput(host, events);
    EXPECT_EQ(tapped.Keys[42], 128);
    const FrameInput after = GatherInput(host, events);
    EXPECT_EQ(after.Keys[42], 0);
    // The game reads the tap as Shift held: the run starts.
    ASSERT_EQ(form.Step(tapped), FrameEnd::GoingOn);
    EXPECT_EQ(form.GameState, 1);
}

TEST_F(SdlHostRig, ThePictureFollowsTheWindowsSize) {
    Start();
    ASSERT_TRUE(Play(1));
    EXPECT_EQ(host.PicturePlace(), (Box{0, 0, 800, 600}));
    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    SDL_SetWindowSize(window, 1000, 600);
    ASSERT_TRUE(Play(1));
    EXPECT_EQ(host.PicturePlace(), (Box{100, 0, 800, 600}));
    SDL_SetWindowSize(window, 640, 800);
    ASSERT_TRUE(Play(1));
    EXPECT_EQ(host.PicturePlace(), (Box{0, 160, 640, 480}));
}

// A window out of sight pauses the game whatever the focus does meanwhile:
// a focus gain in the same pump as the minimising, or later, while it is
// still hidden.
TEST_F(SdlHostRig, AHiddenWindowPausesWhateverTheFocusDoes) {
    Start();
    ASSERT_TRUE(Play(2));
    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    auto windowEvent = [&](SDL_WindowEventID id) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(window);
        e.window.event = static_cast<Uint8>(id);
        ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
    };
    SDL_HideWindow(window);
    windowEvent(SDL_WINDOWEVENT_MINIMIZED);
    windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(session.Run(), Session::Tick::Paused);

    EXPECT_EQ(session.Run(), Session::Tick::Paused);

    // P (or a pad's Start, which reaches a hidden window) resumes only until
    // the next pump finds the window still out of sight.
    Tap(SDL_SCANCODE_P, SDLK_p);
    EXPECT_EQ(session.Run(), Session::Tick::Resumed);
    windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(session.Run(), Session::Tick::Paused);

    // Shown again, the game waits for P as after any lost focus.
    SDL_ShowWindow(window);
    windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_EQ(session.Run(), Session::Tick::Paused);
    EXPECT_FALSE(Play(1));
}

}  // namespace
}  // namespace pm
