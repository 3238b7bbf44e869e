#include "machine/host.h"

#include <cstdio>

namespace pm {

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

void SayLine(const std::string& message) {
    std::fprintf(stderr, "pellimunch: %s\n", OneLine(message).c_str());
    std::fflush(stderr);
}

void Host::Say(const std::string& line) { SayLine(line); }

}  // namespace pm
