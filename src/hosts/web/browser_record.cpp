#include "hosts/web/browser_record.h"

#include <emscripten.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/score_file.h"

// The page's side. A null text is a missing record; a storage that throws
// (disabled, full) reports its error as the text "!" + the message.
EM_JS(char*, pm_js_record_text, (), {
    var text = null;
    try {
        text = window.localStorage.getItem("pellimunch/score.dat");
    } catch (e) {
        text = "!" + e;
    }
    if (text === null) return 0;
    var size = lengthBytesUTF8(text) + 1;
    var p = _malloc(size);
    stringToUTF8(text, p, size);
    return p;
});
EM_JS(char*, pm_js_store_record_text, (const char* text), {
    try {
        window.localStorage.setItem("pellimunch/score.dat", UTF8ToString(text));
        return 0;
    } catch (e) {
        var message = String(e);
        var size = lengthBytesUTF8(message) + 1;
        var p = _malloc(size);
        stringToUTF8(message, p, size);
        return p;
    }
});

namespace pm::web {

namespace {

constexpr const char* Name = "the browser's storage";

// The stored text, or nothing when there is none; `error` when the storage
// itself cannot be read.
std::optional<std::string> StoredText(std::string& error) {
    char* text = pm_js_record_text();
    if (!text) return std::nullopt;
    std::string s(text);
    std::free(text);
    if (!s.empty() && s[0] == '!') {
        error = s.substr(1);
        return std::nullopt;
    }
    return s;
}

}  // namespace

RecordRead BrowserRecord::Load() {
    RecordRead read;
    std::string error;
    const std::optional<std::string> text = StoredText(error);
    if (!error.empty()) return RecordRead{RecordStatus::Unreadable, 0, std::string(Name) + ": " + error};
    if (!text) return read;
    if (const std::optional<int32_t> value = ParseScoreText(*text)) return RecordRead{RecordStatus::Ok, *value, {}};
    return RecordRead{RecordStatus::Invalid, 0, std::string(Name) + ": no score number in the stored record"};
}

RecordSave BrowserRecord::Save(int32_t record) {
    std::string why;
    const std::optional<int32_t> best = RecordOver(Load(), record, why);
    if (!best) return RecordSave{false, 0, why};
    char* failed = pm_js_store_record_text(FormatScoreText(*best).c_str());
    if (failed) {
        const std::string error(failed);
        std::free(failed);
        return RecordSave{false, 0, std::string(Name) + ": " + error};
    }
    return RecordSave{true, *best, {}};
}

}  // namespace pm::web
