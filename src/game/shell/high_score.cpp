// The record's two moments in the game: the load at start-up and the save at
// the end of the shutdown. Where it is kept is the host's business.
#include <algorithm>

#include "game/shell/game_state.h"

namespace pm {

void FormMain::LoadHighScore() {
    const RecordRead read = HostPtr->LoadRecord();
    HighScore = DefaultHighScore;
    switch (read.Status) {
        case RecordStatus::Ok:
            // Mended: no run scores below zero, and a record below it (which
            // the game never writes) would make the game-over screen climb
            // from there for hours. It is read as 0.
            HighScore = std::max(read.Value, int32_t{0});
            break;
        case RecordStatus::Missing: break;
        case RecordStatus::Invalid:
            // Keep playing with the default, but say why the old record is gone.
            HostPtr->Say(read.Reason + "; the high score starts at " + std::to_string(DefaultHighScore));
            break;
        case RecordStatus::Unreadable:
            // Mended: the file may well hold a record we cannot see: play on
            // with the default; the store never writes over it.
            HostPtr->Say(read.Reason + "; the high score starts at " + std::to_string(DefaultHighScore) +
                         " and the file is left as it is");
            break;
    }
}

int32_t FormMain::RecordToKeep() const {
    // Mended: the record climbs on the game-over screen frame by frame, and
    // a quit in the middle of the climb used to keep only the value reached
    // so far. The run has earned its whole score by then (and the chain
    // bonus still to be paid into it), so that is what is kept; the climb on
    // the screen is as it always was.
    if (GameState != State::GameOver) return HighScore;
    int64_t earned = Score;
    if (ChainBonusTimer > 259) earned += ChainBonus;
    earned = std::min<int64_t>(earned, INT32_MAX);
    return std::max(HighScore, static_cast<int32_t>(earned));
}

void FormMain::SaveHighScore() {
    KeptRecord = RecordToKeep();
    const RecordSave save = HostPtr->SaveRecord(KeptRecord);
    if (save.Ok) return;
    HostPtr->Say(save.Reason + "; the high score was not saved");
    // The box says it in the game's words, then in plain ones.
    HostPtr->ShowSaveError("終了時、書き込みエラー",
                           "score.datに対して正しい書き込みが行えませんでした。\r\n"
                           "書き込み禁止属性が掛かっている場合は解除してください。\r\n\r\n" +
                               save.Reason);
}

}  // namespace pm
