// The game-state record: every variable of the game lives in FormMain, from
// start-up to the end of the program. The procedures and frame steps of the
// game are FormMain's member functions, defined in the files of game/shell,
// play, rival, items and effects in the order the frame runs them.
//
// Outside the game, nothing names a field of the record: the driver, the
// hosts, the tools and the board read the game through GameView
// (game/view.h). The tier check compiles them with PM_SEAL_RECORD, which
// makes the fields private, to prove it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "game/canvas/canvas.h"
#include "machine/host.h"
#include "game/game_constants.h"
#include "game/shell/number_rules.h"

namespace pm {

// Screen positions are pixels from the top left of the 800 x 600 field;
// speeds are pixels per frame; timers count frames (60 a second).

struct Item {
    float X = 0, Y = 0, VX = 0;   // picture's top left (X Parked: waiting, Eaten: just eaten); VX < 0, leftwards
    int16_t Plain = 0;            // Boolean: its escape at the left edge ends the chain
    int16_t Kind = 0;             // ItemKind, 0 to 5
    int32_t Delay = 0;            // while parked: frames until it enters at the right edge
};

struct Popup {
    int32_t X = 0;        // left edge, at most 758; ParkedAt: a free slot
    float Y = 0, VY = 0;  // rises from -1 a frame, slowing by 0.01 each frame
    int32_t Timer = 0;    // frames left on screen, 60 to 110 at the start
    int16_t Kind = 0;     // PopupKind, 0 to 5
};

struct Speck {
    float X = 0, Y = 0, VX = 0, VY = 0;   // drifts left and down; X Parked: waiting
    int32_t Delay = 0;                    // while parked: frames until it re-enters
    int16_t Kind = 0;                     // picture in SpeckRects, 0 to 8 (5 to 8 the fast ones)
};

// Same layout as a speck; the fourth field counts a particle's life.
struct Particle {
    float X = 0, Y = 0, VX = 0, VY = 0;   // X Parked: a free slot
    int32_t Timer = 0;                    // frames of life left
    int16_t Kind = 0;                     // picture in ParticleRects, 0 or 1
};

// The four movement keys as copied at the start of a play frame.
struct MoveKeys {
    int16_t Left = 0, Right = 0, Jump = 0, Special = 0;
};

// What the game reads in one frame: the key table and the window's messages
// of that frame (handled at its end). The driver fills it from the host, the
// runner from a key script; a replay is a list of them.
struct FrameInput {
    std::array<uint8_t, 256> Keys{};
    bool MousePressed = false;
    bool CloseRequested = false;
};

// How a frame ended the game, or that it goes on. Escape leaves at once,
// before the frame is drawn; a mouse press and the window's close (or the
// host's, at the end of a replay) at the end of the frame.
enum class FrameEnd : uint8_t { GoingOn, Escape, Mouse, Close };

// Choices of the start-up that change nothing the game computes.
struct StartOptions {
    // False: the frame is drawn on a back buffer of no pixels, which takes
    // every drawing call and keeps none (a run verified or raced as a ghost
    // needs no picture; nothing in the game reads a pixel back).
    bool Picture = true;
};

// One of the fourteen sound buffers. Only its name: the record plays it
// through the host, so a copy of the record holds no pointer into another.
struct SoundBuffer {
    SoundId Id;
};

class FormMain {
public:
    // A copy of the record is a snapshot of the game; point its HostPtr at
    // another host before running it, or it plays through the same one.
    explicit FormMain(Host& host) : HostPtr(&host) {}
    // Plays a copy of the record through another host.
    void UseHost(Host& host) { HostPtr = &host; }

#ifdef PM_SEAL_RECORD
private:
    friend class GameView;
    template <typename V>
    friend void VisitState(const FormMain& f, V& v);   // game/state_fields.h
#endif
    // ---- The record, in declaration order ----------------------------------
    // Booleans are int16_t holding True (-1) or False (0).
    Surface BackBuffer;   // the 800 x 600 frame being drawn, shown at its end
    // The five picture sheets, loaded once at start-up.
    Surface MainSurface, GroundSurface, PinkLineSurface, TitleSurface, ScaleSurface;

    Host* HostPtr;   // the machine the record draws, sounds and keeps its record through
    // The fourteen sounds, by name.
    static constexpr SoundBuffer EatSound{SoundId::Eat}, FeverSound{SoundId::Fever},
        HighJumpSound{SoundId::HighJump}, QuakeSound{SoundId::Quake}, ChargeSound{SoundId::Charge},
        LandSound{SoundId::Land}, BellSound{SoundId::Bell}, NakiSound{SoundId::Naki}, OeeSound{SoundId::Oee},
        LevelUpSound{SoundId::LevelUp}, HitSound{SoundId::Hit}, BombSound{SoundId::Bomb},
        HighScoreSound{SoundId::HighScore}, BonusSound{SoundId::Bonus};

    std::array<uint8_t, 256> KeyState{};   // this frame's keys by scan code (Key::); non-zero: held
    int16_t SpinAngle = 0;      // degrees, 0 to 359, +11 a frame: where the orbiting copies are
    float ChainShine = 0;       // highlight stage of the chain counter, 0 to 50, +0.25 a frame
    int16_t QuitFlag = 0;       // Boolean: the game is over (Escape, mouse, close)
    int16_t GameState = 0;      // State:: Title, Play or GameOver
    Rect ScreenRect;            // the whole 800 x 600 field
    // Where the pictures sit on their sheets (filled at start-up, never changed):
    std::array<Rect, 6> ItemRects{}, BallRects{};         // by ItemKind; by BallKind, then BallPicture
    std::array<std::array<Rect, 4>, 10> DigitRects{};   // [digit][style]
    std::array<Rect, 14> LabelRects{};                    // by Label::
    std::array<Rect, 4> GroundRects{};                    // the ground strip's animation
    Rect BannerRect;                                      // the title banner
    std::array<Rect, 6> PopupRects{};                     // by PopupKind
    std::array<Rect, 9> SpeckRects{};
    std::array<Rect, 2> ParticleRects{};
    Rect LogoRect;                                        // the title's logo
    std::array<Rect, 4> GaugeRects{};                     // gauge frame, full bar, recharge bar, kind bar
    int16_t Blink = 0;          // Boolean, flips every frame: what flashes shows on True frames
    int16_t GroundFrame = 0;    // ground strip picture, 0 to 7 (0 to 6 while quaking)
    float ShineSweep = 0;       // the moving highlight over the status numbers, -16 to 40, +0.2 a frame
    int16_t LastActiveItem = 0;   // the highest item slot that runs this frame, 4 to 99
    Rect WorkRect;              // scratch rectangle of a frame step (a hit box, a cut gauge)
    float BallX = 0, BallY = 0;   // the ball's centre; X 42 to 764, Y 450 on the ground, < 24 above the screen
    float BallVX = 0, BallVY = 0;   // its speed; VY < 0 rising
    int16_t OnGround = 0;       // Boolean: resting on the ground
    int16_t Dashing = 0;        // Boolean: in the plain ball's dash
    int32_t DashCooldown = 0;   // frames until the dash is ready again, 0 to 540 (ready below 120)
    Rect MouthRect, BodyRect;   // the ball's eating box and its box for the rival, this frame
    int32_t ComboCount = 0;     // items eaten since the ball last jumped off the ground
    int16_t BallKind = 0;       // BallKind, 0 to 2
    int32_t KindTimer = 0;      // frames left of a Jumper or Shooter ball (blinks below 105)
    int32_t QuakeTimer = 0;     // frames left of the ground's quake (items stand still above 80)
    int16_t HighJump = 0;       // Boolean: in a jumper's high jump, until it lands
    int32_t SlamTimer = 0;      // frames a high jump's fall (100) or landing (2) still slams the rival
    int16_t KindBoost = 0;      // Boolean: the ball's kind came from a boosted item
    int32_t StaggerTimer = 0;   // frames left of staggering after eating a stagger item (+600 each)
    int16_t Lives = 0;          // lives left, 3 at the start; losing the last (reaching 0) ends the game; -1 on the title
    int32_t GraceTimer = 0;     // frames the rival cannot touch the ball
    std::array<Item, 100> Items{};   // the item slots; LastActiveItem bounds those in play
    // The title banner's moving text:
    int32_t BannerTextX = 0;      // left edge, 248
    float BannerTextY = 0;        // top, 170 to 330, resting at 270
    float BannerTextSpeed = 0;    // pixels a frame downwards, 2
    int32_t BannerTextPause = 0;  // frames left to rest
    std::array<Popup, 11> Popups{};       // slots 0 to 9 are handed out; 10 never
    std::array<Speck, 31> Specks{};       // the background specks
    std::array<Particle, 64> Particles{};
    float ShotX = 0;            // the shooter's shot, its centre; Parked: no shot
    float ShotY = 0, ShotVX = 0;   // ShotVX 7, rightwards
    Rect ShotRect;              // the shot's hit box (left from the last shot when none flies)
    int32_t Score = 0;          // points, 0 to the Long range
    int32_t ShownScore = 0;     // the score on the display, counting up towards Score
    int32_t HighScore = 0;      // the record, counting up to the shown score on the game-over screen
    int16_t ShowHighScore = 0;  // Boolean: draw the record this frame (a gauge takes its place)
    int32_t ChainCount = 0;     // plain items eaten in a row without one escaping
    int32_t LastChainCount = 0;   // the length of the chain the bonus is paid for
    int32_t ChainBonusTimer = 0;  // frames left of the bonus display, 430 down; paid at 259
    int32_t ChainBonus = 0;     // points for the last chain of more than 30, a multiple of 10
    int16_t FeverPoints = 0;    // points towards a fever, 1, 2 or 4 for each item from the fifth of a combo
    int16_t FeverThreshold = 0;   // points a fever needs, 20 and +10 after each fever
    int16_t FeverGaugeTimer = 0;  // frames the fever gauge stays up, 180 after a point
    int32_t FeverGauge = 0;     // the fever gauge's fill, twentieths of a point, climbing to FeverPoints
    int16_t Fever = 0;          // Boolean: a fever is on
    int32_t Level = 0;          // 1 to 100 (0 during a fever begun on leaving level 100)
    int32_t LevelTimer = 0;     // frames left of the level, counting down; the level changes at 0
    int32_t LevelBannerTimer = 0;   // frames left of the level banner after a change, 34 down
    int32_t GameOverTimer = 0;  // frames the game-over screen still holds, 130 down
    int16_t LastBaseItem = 0;   // the highest item slot outside a fever, 4 to 99
    std::array<int16_t, 6> ExtraLifeGiven{};   // Booleans: the life for 5000, 10000 ... 30000 is given
    float RivalX = 0, RivalY = 0;   // the rival's centre; X 40 to 759, Y 450 on the ground
    float RivalVX = 0;          // its speed across
    float RivalBumpVX = 0;      // its own speed while a shot pushes it for a frame; Parked: none
    float RivalMaxSpeed = 0;    // the speed its pattern keeps to
    float RivalVY = 0;          // its speed up or down; < 0 rising
    float RivalAccel = 0;       // how fast the chaser turns, 0.04 to 0.2 pixels a frame per frame (0 before the first change)
    int32_t RivalDizzyTimer = 0;   // frames left standing dizzy (no pattern)
    Rect RivalRect;             // its hit box this frame
    int16_t RivalFrame = 0;     // its walking picture, 0 or 1
    int16_t RivalStunTimer = 0;   // frames left of being knocked about (no pattern)
    int32_t RivalAwayTimer = 0;   // frames left held above the screen

    // The random generator's state belongs to the record, so a copy of the
    // record is a snapshot of the game.
    Random Rng;
    float Rnd() { return Rng.Next(); }

    // Host-side bookkeeping (not game state): what the shutdown may touch.
    bool HighScoreLoaded = false;   // never save over a record we did not read
    bool Unloaded = false;
    FrameEnd Ended = FrameEnd::GoingOn;   // how the game ended, once it has
    int32_t KeptRecord = 0;               // what the shutdown asked the host to keep
    Rgb TextColour{255, 255, 255};
    StartOptions Options;

public:
    // ---- The driver's side of the game -------------------------------------
    // Form_Load once, then Step once a frame while it returns
    // FrameEnd::GoingOn; Form_Unload at the end (a no-op when a quit in the
    // game has run it already). Everything else outside the game is read
    // through GameView.
    void Form_Load(uint32_t seed, StartOptions options = {});   // start-up (shell/startup.cpp); on failure the shutdown, then throws
    FrameEnd Step(const FrameInput& input);   // one frame (shell/frame.cpp)
    void Form_Unload();      // the shutdown; saves the high score
    // Ends the game from outside a frame (a quit while the driver holds the
    // game paused) the way a frame would have: Escape, mouse press or close.
    FrameEnd Quit(FrameEnd how);

#ifdef PM_SEAL_RECORD
private:
#endif
    // ---- Shell: start-up, one frame, the ways out ------------------------
    void StartUp(uint32_t seed);     // the start-up sequence alone
    bool Frame();            // steps 3 to 14 of a frame; false after Escape
    void Form_MouseDown();
    void CloseWindow();      // the host closed the window (or a signal came)
    void ResetGame();

    // The record (shell/high_score.cpp).
    void LoadHighScore();
    void SaveHighScore();            // at shutdown; reports a failure
    int32_t RecordToKeep() const;    // what a shutdown now would keep

    // Title and game over (shell/title.cpp, shell/game_over.cpp).
    void TitleFrame();
    void DrawTitleText();
    void GameOverFrame();

    // Background specks (shell/specks.cpp).
    void FillSpecks();
    void UpdateSpecks();
    void QuakeKickSpecks();

    // Status display (shell/status.cpp).
    void StatusDisplay();

    // ---- Display and sound on the host (shell/display.cpp) -----------------
    void InitDisplay();
    void InitKeyboard();
    void InitRects();
    void InitSound();
    void FillRect(const Rect& r, Rgb colour);
    void BltOpaque(int32_t x, int32_t y, const Surface& src, const Rect& sr);
    void BltKeyed(int32_t x, int32_t y, const Surface& src, const Rect& sr);
    void DrawText(int32_t x, int32_t y, std::string_view utf8);
    void SetTextColour(Rgb colour);
    void SetFont();
    void Stop(SoundBuffer b) { HostPtr->Sound(b.Id, SoundOp::Stop, 0); }
    void SetFrequency(SoundBuffer b, int32_t hz) { HostPtr->Sound(b.Id, SoundOp::Frequency, hz); }
    void SetPan(SoundBuffer b, int32_t pan) { HostPtr->Sound(b.Id, SoundOp::Pan, pan); }
    void Play(SoundBuffer b) { HostPtr->Sound(b.Id, SoundOp::Play, 0); }

    // ---- Play frame, first half (play/) -----------------------------------
    void ResetRound();                              // play/reset_round.cpp
    void PlayFrame();                               // play/play_frame.cpp
    void FeverGround();                             // play/ball_run.cpp
    void Friction();
    void ImmediateKeys();
    void LeftRightKeys(const MoveKeys& keys);
    void HorizontalMove();
    void KindTimerAndDrawBall();
    void Stagger();
    void SpaceKey();                                // play/jump.cpp
    void VerticalMotion();
    void Landing();
    void UpKey();                                   // play/special_moves.cpp
    void DashStep();
    void LevelTimerStep();                          // play/level.cpp
    void LevelChange();
    void RivalStep();                               // play/rival.cpp
    void RivalRoamer();
    void RivalChaser();
    void RivalWallLeaper();
    void RivalStalker();
    void RivalHopper();

    // ---- Play frame, second half (items/) ---------------------------------
    void RivalSpriteAndShot();                      // items/rival_sprite.cpp
    void RivalContact();                            // items/rival_contact.cpp
    void ItemPass();                                // items/item_stream.cpp
    void Gauges();                                  // items/gauges.cpp

    // ---- Effects (effects/) -----------------------------------------------
    void SpawnParticle(float angle, float speed, int16_t slot);   // effects/particles.cpp
    void SpawnBallSpray(int32_t count, float vx, float vy, int32_t life, int32_t spread);
    void SpawnSpotSpray(int32_t count, float vx, float vy, int32_t life, int32_t spread);
    void ParticlePlayStep();
    void ParticleGameOverStep();
    void SpawnPopup(int16_t count, int16_t special, float x, float y, int16_t fever);  // effects/popups.cpp
    void PopupStep();
    int32_t DrawNumber(int32_t x, int32_t y, std::string& text, int16_t shine, int16_t most);
};

}  // namespace pm
