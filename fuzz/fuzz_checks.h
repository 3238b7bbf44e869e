// What must hold for any input to the game's readers: the fuzz targets run
// these on every input they try, and the unit tests run them on the seed
// corpus and on every input a fuzzer ever caught failing (fuzz/regressions),
// so a crash once found stays fixed. Each check returns an empty string when
// all is well, else what went wrong.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/data_files.h"
#include "driver/replay.h"
#include "driver/script.h"
#include "platform/score_file.h"

namespace pm::fuzz {

// A start-up failure message is one printable line that starts with the
// file's name (the player reads it on a terminal).
inline std::string CheckErrorLine(const std::string& name, const std::string& message) {
    if (message.compare(0, name.size() + 2, name + ": ") != 0) return "message does not start with the file name: " + message;
    if (message.size() == name.size() + 2) return "message gives no reason";
    for (unsigned char c : message)
        if (c < 0x20 || c == 0x7F) return "message holds a control character";
    return {};
}

// The bitmap reader, asked for the size the file itself claims when that is
// plausible (so the pixel decoding is reached), else for a fixed size.
inline std::string CheckBmp(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    int32_t w = 16, h = 16;
    if (size >= 26) {
        const auto le32 = [&](size_t at) {
            return static_cast<int32_t>(static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
                                        static_cast<uint32_t>(data[at + 2]) << 16 |
                                        static_cast<uint32_t>(data[at + 3]) << 24);
        };
        const int64_t fw = le32(18), fh = le32(22);
        const int64_t ah = fh < 0 ? -fh : fh;
        if (fw >= 1 && fw <= 256 && ah >= 1 && ah <= 256) {
            w = static_cast<int32_t>(fw);
            h = static_cast<int32_t>(ah);
        }
    }
    const std::string name = "bmp/fuzz.bmp";
    try {
        const Surface s = DecodeBmp(name, bytes, w, h);
        if (s.Width != w || s.Height != h) return "decoded surface has the wrong size";
        if (s.Pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return "pixel count does not match";
    } catch (const StartupError& e) {
        return CheckErrorLine(name, e.what());
    }
    return {};
}

// The wave reader, at the rate most of the game's sounds have.
inline std::string CheckWav(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string name = "wav/fuzz.wav";
    try {
        const WaveData w = DecodeWav(name, bytes, 11025);
        if (w.Rate != 11025) return "decoded wave has the wrong rate";
        if (w.Samples.size() > size) return "more samples than bytes";
    } catch (const StartupError& e) {
        return CheckErrorLine(name, e.what());
    }
    return {};
}

// The score text: a value read back is written and read again unchanged,
// and the file reader agrees with the text reader on the file's first bytes.
inline std::string CheckScore(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> value = ParseScoreText(text);
    if (value) {
        const std::string again = FormatScoreText(*value);
        if (ParseScoreText(again) != value) return "a score does not survive writing and reading: " + again;
    }

    // The file reader sees at most the first line's worth of bytes.
    static const std::string path = "/tmp/pm-fuzz-score-" + std::to_string(::getpid()) + ".dat";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};   // no scratch space: nothing to check
    const bool written = std::fwrite(data, 1, size, f) == size;
    std::fclose(f);
    if (!written) return {};
    const RecordRead read = ReadScoreFile(path);
    ::unlink(path.c_str());
    if (read.Status == RecordStatus::Missing) return "an existing file read as missing";
    if (size == 0) return read.Status == RecordStatus::Invalid ? std::string() : "an empty file gave a score";
    const std::optional<int32_t> head = ParseScoreText(text.substr(0, 256));
    if (read.Status == RecordStatus::Ok) {
        if (!head || *head != read.Value) return "the file reader and the text reader disagree";
    } else {
        if (head) return "a readable number was refused: " + read.Reason;
        if (read.Reason.empty()) return "a refused file gives no reason";
    }
    return {};
}

// A replay file read as such: refused with a real line, or read so that
// writing it out again and reading that back gives the same file.
inline std::string CheckReplay(std::string_view text, int lines) {
    Replay replay;
    keys::ScriptError error;
    if (!ParseReplay(text, replay, error)) {
        if (error.Line < 1 || error.Line > lines + 1) return "replay error names line " + std::to_string(error.Line);
        if (error.Message.empty() || error.Message.find('\n') != std::string::npos) return "bad replay error message";
        return {};
    }
    const std::string written = FormatReplay(replay);
    Replay again;
    if (!ParseReplay(written, again, error)) return "a written replay does not read back: " + error.Message;
    if (FormatReplay(again) != written) return "a written replay reads back differently";
    return {};
}

// The runner's key script: a parsed script holds only positive counts and
// known keys, line numbers rise, and the cursor walks it frame by frame; a
// refused script names a real line. The same text is tried as a replay file.
inline std::string CheckScript(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int lines = 1;
    for (char c : text) lines += c == '\n';
    if (std::string why = CheckReplay(text, lines); !why.empty()) return why;
    keys::Script script;
    keys::ScriptError error;
    if (!keys::ParseScript(text, script, error)) {
        if (error.Line < 1 || error.Line > lines) return "error names line " + std::to_string(error.Line);
        if (error.Message.empty()) return "error without a message";
        for (unsigned char c : error.Message)
            if (c == '\n') return "error message spans lines";
        return {};
    }
    static const uint8_t Known[] = {1, 17, 18, 19, 42, 54, 57, 200, 203, 205, 211};
    int lastLine = 0;
    for (const keys::ScriptSpan& span : script.Spans) {
        if (span.Count == 0 || span.Count > 4294967295u) return "span count out of range";
        if (span.Line <= lastLine || span.Line > lines) return "span line numbers out of order";
        lastLine = span.Line;
        for (uint8_t k : span.Keys) {
            bool known = false;
            for (uint8_t c : Known) known = known || c == k;
            if (!known) return "unknown key code " + std::to_string(k);
        }
    }
    // Walk the first frames and check the cursor hands out the spans in order.
    keys::ScriptCursor cursor(script);
    const uint64_t total = script.TotalFrames();
    const uint64_t walk = total < 5000 ? total : 5000;
    size_t index = 0;
    uint64_t used = 0;
    for (uint64_t n = 0; n < walk; ++n) {
        const keys::ScriptSpan* s = cursor.Next();
        while (index < script.Spans.size() && used >= script.Spans[index].Count) {
            ++index;
            used = 0;
        }
        if (!s || index >= script.Spans.size() || s != &script.Spans[index]) return "cursor left the spans' order";
        ++used;
    }
    if (total <= walk && cursor.Next() != nullptr) return "cursor runs past the script";
    return {};
}

}  // namespace pm::fuzz
