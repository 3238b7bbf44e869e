// The narrow interface between the game and the machine it runs on. The game
// (FormMain) only ever talks to a Host; the SDL host shows a window and plays
// sound, the headless host replays scripted keys and records what happens.
// The host never calls into the game: what happens in its window comes back
// from PumpEvents as values, and the driver hands them to the game.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "game/canvas/canvas.h"
#include "machine/record_store.h"

namespace pm {

// A start-up failure: the message names the file or device and the reason.
struct StartupError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The five bitmaps, in load order.
enum class BitmapId : uint8_t { Main, Ground, PinkLine, Title, Scale };
struct BitmapFile {
    BitmapId Id;
    const char* File;       // relative to the program folder
    const char* Surface;    // the record's name
    int32_t Width, Height;
};
inline constexpr std::array<BitmapFile, 5> Bitmaps{{
    {BitmapId::Main, "bmp/main.bmp", "MainSurface", 493, 329},
    {BitmapId::Ground, "bmp/ground.bmp", "GroundSurface", 800, 176},
    {BitmapId::PinkLine, "bmp/pinkline.bmp", "PinkLineSurface", 367, 86},
    {BitmapId::Title, "bmp/title.bmp", "TitleSurface", 461, 65},
    {BitmapId::Scale, "bmp/scale.bmp", "ScaleSurface", 265, 138},
}};

// The fourteen sounds, in load order.
enum class SoundId : uint8_t {
    Eat, Fever, HighJump, Quake, Charge, Land, Naki, Hit, Bomb, HighScore, Bonus, Bell, LevelUp, Oee
};
inline constexpr size_t SoundCount = 14;
struct SoundFile {
    SoundId Id;
    const char* File;       // relative to the program folder
    const char* Buffer;     // the record's name
    int32_t Rate;           // samples per second the file must have
};
inline constexpr std::array<SoundFile, SoundCount> Sounds{{
    {SoundId::Eat, "wav/eat.wav", "EatSound", 11025},
    {SoundId::Fever, "wav/fever.wav", "FeverSound", 11025},
    {SoundId::HighJump, "wav/highjump.wav", "HighJumpSound", 11025},
    {SoundId::Quake, "wav/quake.wav", "QuakeSound", 11025},
    {SoundId::Charge, "wav/charge.wav", "ChargeSound", 11025},
    {SoundId::Land, "wav/land.wav", "LandSound", 11025},
    {SoundId::Naki, "wav/naki.wav", "NakiSound", 11025},
    {SoundId::Hit, "wav/hit.wav", "HitSound", 11025},
    {SoundId::Bomb, "wav/bomb.wav", "BombSound", 11025},
    {SoundId::HighScore, "wav/highscore.wav", "HighScoreSound", 11025},
    {SoundId::Bonus, "wav/bonus.wav", "BonusSound", 11025},
    {SoundId::Bell, "wav/bell.wav", "BellSound", 44100},
    {SoundId::LevelUp, "wav/levelup.wav", "LevelUpSound", 22050},
    {SoundId::Oee, "wav/oee.wav", "OeeSound", 8820},
}};

enum class SoundOp : uint8_t { Stop, Frequency, Pan, Play };

// 8-bit unsigned mono PCM as read from a wave file.
struct WaveData {
    int32_t Rate = 0;
    std::vector<uint8_t> Samples;
};

// What the window reported since the last pump. The game acts on the mouse
// press and the close request; the rest is for the driver and the host.
struct HostEvents {
    bool MousePressed = false;      // any button, anywhere in the window
    bool CloseRequested = false;    // the window's close box, or SIGINT/SIGTERM
    bool FocusLost = false;         // the window lost the keyboard, or is minimised or hidden (every pump)
    bool FocusGained = false;
    bool FullScreenToggled = false; // Alt+Enter, already carried out by the host
    bool PadStart = false;          // a gamepad's Start went down (the driver decides what it means)
    bool ResumeRequested = false;   // the pause notice's own button (the browser's)
};

class Host {
public:
    virtual ~Host() = default;

    // Display: the window (or nothing) and the five bitmaps.
    virtual void OpenDisplay() = 0;
    virtual Surface LoadBitmap(const BitmapFile& entry) = 0;   // throws StartupError
    virtual TextRenderer* Text() = 0;                          // may be null
    virtual DrawObserver* DrawLog() = 0;                       // may be null

    // Keyboard.
    virtual void OpenKeyboard() = 0;
    virtual void ReadKeyboard(std::array<uint8_t, 256>& keys) = 0;

    // Sound: the device, the buffers and the four buffer operations.
    virtual void OpenSound() = 0;
    virtual void LoadSound(const SoundFile& entry) = 0;          // throws StartupError
    virtual void Sound(SoundId id, SoundOp op, int32_t value) = 0;

    // Frame end: show the finished back buffer (no waiting; the driver keeps
    // the pace). Then the window's pending messages, reported as values.
    virtual void Present(const Surface& backBuffer) = 0;
    virtual HostEvents PumpEvents() = 0;

    // Shutdown pieces.
    virtual void ShowCursor(bool show) = 0;
    virtual void RestoreDisplay() = 0;
    virtual void Release() = 0;

    // The record, kept in whatever store the driver gave (none: nothing is
    // kept, and the game starts from its default).
    void UseRecords(RecordStore* store) { records_ = store; }
    virtual RecordRead LoadRecord() { return records_ ? records_->Load() : RecordRead{}; }
    virtual RecordSave SaveRecord(int32_t record) {
        return records_ ? records_->Save(record) : RecordSave{true, record, {}};
    }
    // The store's line for the window after its load (RecordStore::Notice).
    std::string RecordNotice() const { return records_ ? records_->Notice() : std::string(); }

    // The one message the player can see, and a line for whoever started
    // the game from a terminal (standard error, the browser's console).
    virtual void ShowSaveError(std::string_view title, std::string_view text) = 0;
    virtual void Say(const std::string& line);

private:
    RecordStore* records_ = nullptr;
};

// The text with its line breaks made spaces: one line, whatever it holds.
std::string OneLine(std::string text);

// "pellimunch: " and the message, as one line on standard error, or to the
// sink given below.
void SayLine(const std::string& message);
// Where SayLine's lines go instead, for a program that has no terminal to
// show them (a Windows game started from Explorer); null for standard error.
using LineSink = void (*)(const std::string& message);
void SendLinesTo(LineSink sink);

}  // namespace pm
