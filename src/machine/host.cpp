#include "machine/host.h"

#include <cstdio>

namespace pm {

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

namespace {
LineSink sink = nullptr;
}  // namespace

void SendLinesTo(LineSink to) { sink = to; }

void SayLine(const std::string& message) {
    if (sink) {
        sink(OneLine(message));
        return;
    }
    std::fprintf(stderr, "pellimunch: %s\n", OneLine(message).c_str());
    std::fflush(stderr);
}

void Host::Say(const std::string& line) { SayLine(line); }

}  // namespace pm
