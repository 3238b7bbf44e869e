#include "hosts/web/browser_record.h"

#include <emscripten.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/score_file.h"

// The page's side. Every answer is one text whose first character says what
// it is: "=" the stored record follows, "!" the storage's error follows. A
// null pointer is a missing record (or, for a write, success).
EM_JS(char*, pm_js_record_text, (), {
    var text = null;
    try {
        var stored = window.localStorage.getItem("pellimunch/score.dat");
        if (stored !== null) text = "=" + stored;
    } catch (e) {
        text = "!" + e;
    }
    if (text === null) return 0;
    var size = lengthBytesUTF8(text) + 1;
    var p = _malloc(size);
    stringToUTF8(text, p, size);
    return p;
});
// Writes the record; with `aside`, first keeps what was stored under the
// name of an unreadable record and removes it.
EM_JS(char*, pm_js_store_record_text, (const char* text, int aside), {
    try {
        var storage = window.localStorage;
        if (aside) {
            var old = storage.getItem("pellimunch/score.dat");
            if (old !== null) storage.setItem("pellimunch/score.dat.unreadable", old);
            storage.removeItem("pellimunch/score.dat");
        }
        if (text) storage.setItem("pellimunch/score.dat", UTF8ToString(text));
        return 0;
    } catch (e) {
        var message = String(e);
        var size = lengthBytesUTF8(message) + 1;
        var p = _malloc(size);
        stringToUTF8(message, p, size);
        return p;
    }
});
// A word for the player on the page, at once; an empty failure text: the
// record was kept after all.
EM_JS(void, pm_js_record_notice, (const char* text, int saveFailed), {
    var page = Module.pmPage;
    if (saveFailed) page.saveFailed(UTF8ToString(text));
    else if (page.recordNotice) page.recordNotice(UTF8ToString(text));
});

namespace pm::web {

namespace {

constexpr const char* Name = "the browser's storage";
constexpr const char* AsideName = "pellimunch/score.dat.unreadable";

struct Stored {
    bool Present = false;
    std::string Text;    // when present
    std::string Error;   // when the storage could not be read
};

Stored StoredText() {
    Stored s;
    char* text = pm_js_record_text();
    if (!text) return s;
    const std::string answer(text);
    std::free(text);
    if (!answer.empty() && answer[0] == '!') {
        s.Error = answer.substr(1);
    } else {
        s.Present = true;
        s.Text = answer.substr(1);
    }
    return s;
}

// Mended: a record saved by an editor may start with a byte order mark or
// with blank lines; the number after them is the record, as on the desktop.
std::string_view SkipLead(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    for (;;) {
        const size_t at = text.find_first_not_of(" \t");
        if (at == std::string_view::npos || (text[at] != '\r' && text[at] != '\n')) return text;
        text.remove_prefix(at + 1);
    }
}

// An error to the page, NUL-free; "" when there was none.
std::string Taken(char* failed) {
    if (!failed) return {};
    std::string error(failed);
    std::free(failed);
    return error.empty() ? "an unknown error" : error;
}

// What the stored text begins with, for the player's notice.
std::string Quoted(const std::string& text) {
    std::string shown;
    for (char c : text.substr(0, 24)) shown += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
    return "\"" + shown + (text.size() > 24 ? "…" : "") + "\"";
}

}  // namespace

RecordRead BrowserRecord::Load() {
    const Stored s = StoredText();
    if (!s.Error.empty()) return RecordRead{RecordStatus::Unreadable, 0, std::string(Name) + ": " + s.Error};
    if (!s.Present) return {};
    const std::string_view text = SkipLead(s.Text);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return {};   // nothing to lose
    if (const std::optional<int32_t> value = ParseScoreText(text)) return RecordRead{RecordStatus::Ok, *value, {}};

    // Mended: a stored record with no number was replaced by the next save,
    // without a word on the page. It may still be the player's record, so
    // it is kept aside (the newest such one) before anything is written,
    // and the player is told.
    const std::string error = Taken(pm_js_store_record_text(nullptr, 1));
    if (!error.empty()) {
        const std::string notice = "The high score stored in this browser holds no number (it reads " +
                                   Quoted(s.Text) + ") and could not be set aside (" + error +
                                   "). It is left as it is, and no new high score is kept until it is mended "
                                   "or removed.";
        pm_js_record_notice(notice.c_str(), 0);
        return RecordRead{RecordStatus::Unreadable, 0,
                          std::string(Name) + ": no score number in the stored record, which cannot be set aside: " +
                              error};
    }
    const std::string notice = "The high score stored in this browser holds no number (it reads " + Quoted(s.Text) +
                               "). It is kept aside as " + AsideName + " and the game starts from " +
                               std::to_string(DefaultHighScore) + ".";
    pm_js_record_notice(notice.c_str(), 0);
    return RecordRead{RecordStatus::Invalid, 0,
                      std::string(Name) + ": no score number in the stored record; it is kept as " + AsideName};
}

RecordSave BrowserRecord::Save(int32_t record) {
    std::string why;
    const std::optional<int32_t> best = RecordOver(Load(), record, why);
    std::string error = why.empty() ? "the stored record cannot be read" : why;
    if (best) error = Taken(pm_js_store_record_text(FormatScoreText(*best).c_str(), 0));
    if (best && error.empty()) {
        if (failed_) pm_js_record_notice("", 1);   // kept after all: the page's word of it goes
        failed_ = false;
        return RecordSave{true, *best, {}};
    }
    failed_ = true;
    // Mended: a failed save (storage full or turned off) was told only when
    // the session ended, in the desktop's words about score.dat. The page
    // says it at once, and what to do.
    const std::string notice = "Your high score of " + std::to_string(record) +
                               " could not be kept in this browser's storage (" + error +
                               "). Let this site keep data and free some space (the browser's settings, site "
                               "data); the game tries again when this session ends.";
    pm_js_record_notice(notice.c_str(), 1);
    return RecordSave{false, 0, std::string(Name) + ": " + error};
}

}  // namespace pm::web
