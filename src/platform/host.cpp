#include "platform/host.h"

#include <cstdio>

namespace pm {

void Host::Say(const std::string& line) {
    // One line, whatever the message holds.
    std::string one(line);
    for (char& c : one)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "pellimunch: %s\n", one.c_str());
}

}  // namespace pm
