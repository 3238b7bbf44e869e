// The game-state record: every variable of the game lives in FormMain, from
// start-up to the end of the program. The procedures and frame steps of the
// game are FormMain's member functions, defined in the files of shell/,
// play/, items/, effects/ and platform/ in the order the frame runs them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/canvas.h"
#include "platform/host.h"
#include "names.h"
#include "shell/basic.h"

namespace pm {

struct Item {
    float X = 0, Y = 0, VX = 0;
    int16_t Plain = 0;
    int16_t Kind = 0;
    int32_t Delay = 0;
};

struct Popup {
    int32_t X = 0;
    float Y = 0, VY = 0;
    int32_t Timer = 0;
    int16_t Kind = 0;
};

struct Speck {
    float X = 0, Y = 0, VX = 0, VY = 0;
    int32_t Delay = 0;
    int16_t Kind = 0;
};

// Same layout as a speck; the fourth field counts a particle's life.
struct Particle {
    float X = 0, Y = 0, VX = 0, VY = 0;
    int32_t Timer = 0;
    int16_t Kind = 0;
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

    // ---- The record, in declaration order ----------------------------------
    Surface BackBuffer;
    Surface MainSurface, GroundSurface, PinkLineSurface, TitleSurface, ScaleSurface;

    Host* HostPtr;
    static constexpr SoundBuffer EatSound{SoundId::Eat}, FeverSound{SoundId::Fever},
        HighJumpSound{SoundId::HighJump}, QuakeSound{SoundId::Quake}, ChargeSound{SoundId::Charge},
        LandSound{SoundId::Land}, BellSound{SoundId::Bell}, NakiSound{SoundId::Naki}, OeeSound{SoundId::Oee},
        LevelUpSound{SoundId::LevelUp}, HitSound{SoundId::Hit}, BombSound{SoundId::Bomb},
        HighScoreSound{SoundId::HighScore}, BonusSound{SoundId::Bonus};

    std::array<uint8_t, 256> KeyState{};
    int16_t SpinAngle = 0;
    float ChainShine = 0;
    int16_t QuitFlag = 0;
    int16_t GameState = 0;
    Rect ScreenRect;
    std::array<Rect, 6> ItemRects{}, BallRects{};
    std::array<std::array<Rect, 4>, 10> DigitRects{};   // [digit][style]
    std::array<Rect, 14> LabelRects{};
    std::array<Rect, 4> GroundRects{};
    Rect BannerRect;
    std::array<Rect, 6> PopupRects{};
    std::array<Rect, 9> SpeckRects{};
    std::array<Rect, 2> ParticleRects{};
    Rect LogoRect;
    std::array<Rect, 4> GaugeRects{};
    int16_t Blink = 0;
    int16_t GroundFrame = 0;
    float ShineSweep = 0;
    int16_t LastActiveItem = 0;
    Rect WorkRect;
    float BallX = 0, BallY = 0;
    float BallVX = 0, BallVY = 0;
    int16_t OnGround = 0;
    int16_t Dashing = 0;
    int32_t DashCooldown = 0;
    Rect MouthRect, BodyRect;
    int32_t ComboCount = 0;
    int16_t BallKind = 0;
    int32_t KindTimer = 0;
    int32_t QuakeTimer = 0;
    int16_t HighJump = 0;
    int32_t SlamTimer = 0;
    int16_t KindBoost = 0;
    int32_t StaggerTimer = 0;
    int16_t Lives = 0;
    int32_t GraceTimer = 0;
    std::array<Item, 100> Items{};
    int32_t BannerTextX = 0;
    float BannerTextY = 0;
    float BannerTextSpeed = 0;
    int32_t BannerTextPause = 0;
    std::array<Popup, 11> Popups{};
    std::array<Speck, 31> Specks{};
    std::array<Particle, 64> Particles{};
    float ShotX = 0;
    float ShotY = 0, ShotVX = 0;
    Rect ShotRect;
    int32_t Score = 0;
    int32_t ShownScore = 0;
    int32_t HighScore = 0;
    int16_t ShowHighScore = 0;
    int32_t ChainCount = 0;
    int32_t LastChainCount = 0;
    int32_t ChainBonusTimer = 0;
    int32_t ChainBonus = 0;
    int16_t FeverPoints = 0;
    int16_t FeverThreshold = 0;
    int16_t FeverGaugeTimer = 0;
    int32_t FeverGauge = 0;
    int16_t Fever = 0;
    int32_t Level = 0;
    int32_t LevelTimer = 0;
    int32_t LevelBannerTimer = 0;
    int32_t GameOverTimer = 0;
    int16_t LastBaseItem = 0;
    std::array<int16_t, 6> ExtraLifeGiven{};
    float RivalX = 0, RivalY = 0;
    float RivalVX = 0;
    float RivalBumpVX = 0;
    float RivalMaxSpeed = 0;
    float RivalVY = 0;
    float RivalAccel = 0;
    int32_t RivalDizzyTimer = 0;
    Rect RivalRect;
    int16_t RivalFrame = 0;
    int16_t RivalStunTimer = 0;
    int32_t RivalAwayTimer = 0;

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

    // ---- Shell: start-up, one frame, the ways out ------------------------
    // The driver's side of the game: Form_Load once, then Step once a frame
    // while it returns FrameEnd::GoingOn; Form_Unload at the end (a no-op
    // when a quit in the game has run it already).
    void Form_Load(uint32_t seed);   // start-up (shell/startup.cpp); on failure the shutdown, then throws
    FrameEnd Step(const FrameInput& input);   // one frame (shell/frame.cpp)
    void StartUp(uint32_t seed);     // the start-up sequence alone
    bool Frame();            // steps 3 to 14 of a frame; false after Escape
    void Form_MouseDown();
    void CloseWindow();      // the host closed the window (or a signal came)
    void Form_Unload();      // the shutdown; saves the high score
    // Ends the game from outside a frame (a quit while the driver holds the
    // game paused) the way a frame would have: Escape, mouse press or close.
    FrameEnd Quit(FrameEnd how);
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
