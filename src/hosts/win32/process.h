// What a Windows program of the game does first: find its console.
#pragma once

#include <string>

namespace pm::win32 {

// A program built for the desktop (no console of its own) writes to the
// console it was started from, if any, unless its output already goes to a
// file or a pipe. True when standard output reaches somewhere.
bool UseParentConsole();

// With no console, the lines the game would print (errors, warnings) are
// kept from now on; ShowKeptLines shows them in one box, `last` after them
// when given, and forgets them. `error`: the game cannot go on.
void KeepLinesForBox();
void ShowKeptLines(bool error = false, const std::string& last = {});
// Text for the player in a box of its own (--help, --version).
void ShowInfoBox(const std::string& text);

}  // namespace pm::win32
