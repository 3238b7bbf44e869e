// Every session in the window is recorded: last.replay holds the session so
// far (rewritten at each game over and at the end, so a crash loses at most
// the run being played), and best.replay the session up to the game over of
// the run that set the best record it has seen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "driver/replay.h"

namespace pm {

class SessionRecorder {
public:
    // Where the two files go; an empty path keeps that file from being written.
    SessionRecorder(std::string lastPath, std::string bestPath);

    // After the start-up, with the seed the game was given.
    void Start(uint32_t seed, const FormMain& form);
    // After each frame the game ran, with the input it read.
    void Frame(const FrameInput& input, const FormMain& form);
    // When the session is over.
    void Finish(ReplayEnd end, const FormMain& form);

    const ReplayRecorder& Recorder() const { return recorder_; }

private:
    void Write(const std::string& path, const Replay& replay);
    void RunEnded(const FormMain& form);

    std::string lastPath_, bestPath_;
    ReplayRecorder recorder_;
    bool started_ = false;
    int16_t lastState_ = 0;
    int32_t recordBeforeRun_ = 0;
};

// The high score a replay file claims at its end, or nothing when there is no
// such file or it is not a replay.
std::optional<int32_t> ClaimedHighScore(const std::string& path);

}  // namespace pm
