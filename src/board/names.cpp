#include "board/names.h"

#include <unictype.h>
#include <uninorm.h>
#include <unistr.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace pm::board {

namespace {

bool Allowed(ucs4_t c, bool afterLetter) {
    if (c == ' ' || c == '-' || c == '_' || c == '.') return true;
    if (uc_is_general_category(c, UC_CATEGORY_L)) return true;
    if (uc_is_general_category(c, UC_CATEGORY_Nd)) return true;
    // Vowel signs and accents belong to the letter before them (many
    // scripts cannot be written without them); alone they are refused.
    return afterLetter && uc_is_general_category(c, UC_CATEGORY_M);
}

}  // namespace

std::optional<std::string> CleanName(std::string_view raw, std::string& why) {
    if (raw.size() > MaxNameBytes) {
        why = "the name is longer than " + std::to_string(MaxNameChars) + " characters";
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(raw.data());
    if (u8_check(bytes, raw.size()) != nullptr) {
        why = "the name is not valid UTF-8";
        return std::nullopt;
    }
    size_t length = 0;
    std::unique_ptr<uint8_t, decltype(&std::free)> nfc(u8_normalize(UNINORM_NFC, bytes, raw.size(), nullptr, &length),
                                                       &std::free);
    if (!nfc && raw.size() > 0) {
        why = "the name cannot be normalised";
        return std::nullopt;
    }
    std::vector<ucs4_t> chars;
    for (const uint8_t* p = nfc.get(); p && p < nfc.get() + length;) {
        ucs4_t c;
        const int n = u8_mbtouc(&c, p, static_cast<size_t>(nfc.get() + length - p));
        chars.push_back(c);
        p += n;
    }
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
    for (ucs4_t c : chars) {
        if (!Allowed(c, afterLetter)) {
            why = c < 0x20 || (c >= 0x7F && c < 0xA0) ? "the name holds a control character"
                                                       : "the name holds a character other than letters, digits, "
                                                         "space, '-', '_' and '.'";
            return std::nullopt;
        }
        afterLetter = uc_is_general_category(c, UC_CATEGORY_L) || (afterLetter && uc_is_general_category(c, UC_CATEGORY_M));
        uint8_t buf[6];
        const int n = u8_uctomb(buf, c, sizeof buf);
        out.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
    }
    return out;
}

}  // namespace pm::board
