#include "board/names.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uspoof.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace pm::board {

namespace {

bool Letter(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_L_MASK) != 0; }
bool Mark(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

bool Allowed(UChar32 c, bool afterLetter) {
    if (c == ' ' || c == '-' || c == '_' || c == '.') return true;
    if (Letter(c)) return true;
    if (u_charType(c) == U_DECIMAL_DIGIT_NUMBER) return true;
    // Vowel signs and accents belong to the letter before them (many
    // scripts cannot be written without them); alone they are refused.
    return afterLetter && Mark(c);
}

std::string CodePoint(UChar32 c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// Letters that show as nothing: the Hangul fillers (letters by their
// category, blank on the screen), and every code point Unicode says a
// renderer may leave out (joiners, variation selectors and the like).
bool Invisible(UChar32 c) {
    return c == 0x3164 || c == 0x115F || c == 0x1160 || c == 0xFFA0 ||
           u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

struct SpoofCloser {
    void operator()(USpoofChecker* sc) const { uspoof_close(sc); }
};

// ICU's spoof checker at its moderately restrictive level: one script, or
// Latin with one other that cannot pass for it (not Cyrillic or Greek), or
// the mixes a language really writes (Japanese, Chinese, Korean); digits of
// one system; no mark repeated so that it hides. Empty when the name passes.
std::string Spoofing(const std::string& utf8) {
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<USpoofChecker, SpoofCloser> sc(uspoof_open(&error));
    if (U_FAILURE(error)) return "the name cannot be checked just now";
    uspoof_setChecks(sc.get(), USPOOF_RESTRICTION_LEVEL | USPOOF_MIXED_NUMBERS | USPOOF_INVISIBLE, &error);
    uspoof_setRestrictionLevel(sc.get(), USPOOF_MODERATELY_RESTRICTIVE);
    const int32_t found = uspoof_checkUTF8(sc.get(), utf8.data(), static_cast<int32_t>(utf8.size()), nullptr, &error);
    if (U_FAILURE(error)) return "the name cannot be checked just now";
    if (found & USPOOF_RESTRICTION_LEVEL) return "the name mixes scripts in a way that can pass for another name";
    if (found & USPOOF_MIXED_NUMBERS) return "the name mixes digits of different number systems";
    if (found & USPOOF_INVISIBLE) return "the name repeats a mark where it does not show";
    return {};
}

}  // namespace

std::optional<std::string> CleanName(std::string_view raw, std::string& why) {
    if (raw.size() > MaxNameBytes) {
        why = "the name is longer than " + std::to_string(MaxNameChars) + " characters";
        return std::nullopt;
    }
    UErrorCode error = U_ZERO_ERROR;
    int32_t units = 0;
    u_strFromUTF8(nullptr, 0, &units, raw.data(), static_cast<int32_t>(raw.size()), &error);
    if (error == U_INVALID_CHAR_FOUND || error == U_ILLEGAL_CHAR_FOUND) {
        why = "the name is not valid UTF-8";
        return std::nullopt;
    }
    error = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(error);
    icu::UnicodeString text;
    if (U_SUCCESS(error))
        text = nfc->normalize(icu::UnicodeString::fromUTF8(icu::StringPiece(raw.data(), static_cast<int32_t>(raw.size()))),
                              error);
    if (U_FAILURE(error)) {
        why = "the name cannot be normalised";
        return std::nullopt;
    }
    std::vector<UChar32> chars;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) chars.push_back(text.char32At(i));
    while (!chars.empty() && chars.back() == ' ') chars.pop_back();
    size_t first = 0;
    while (first < chars.size() && chars[first] == ' ') ++first;
    chars.erase(chars.begin(), chars.begin() + static_cast<std::ptrdiff_t>(first));

    if (chars.size() < MinNameChars) {
        why = "the name is empty";
        return std::nullopt;
    }
    if (chars.size() > MaxNameChars) {
        why = "the name is longer than " + std::to_string(MaxNameChars) + " characters";
        return std::nullopt;
    }
    std::string out;
    bool afterLetter = false;
    for (UChar32 c : chars) {
        if (Invisible(c)) {
            why = "the name holds a character that does not show (" + CodePoint(c) + ")";
            return std::nullopt;
        }
        if (!Allowed(c, afterLetter)) {
            why = c < 0x20 || (c >= 0x7F && c < 0xA0) ? "the name holds a control character"
                  : Mark(c) ? "the name holds a mark with no letter before it (" + CodePoint(c) + ")"
                            : "the name holds a character other than letters, digits, space, '-', '_' and '.'";
            return std::nullopt;
        }
        afterLetter = Letter(c) || (afterLetter && Mark(c));
        char buf[U8_MAX_LENGTH];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);   // a code point of a valid string: at most U8_MAX_LENGTH bytes
        out.append(buf, static_cast<size_t>(n));
    }
    if (std::string spoof = Spoofing(out); !spoof.empty()) {
        why = std::move(spoof);
        return std::nullopt;
    }
    return out;
}

}  // namespace pm::board
