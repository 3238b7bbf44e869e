// What a Windows program of the game does first: find its console.
#pragma once

namespace pm::win32 {

// A program built for the desktop (no console of its own) writes to the
// console it was started from, if any, unless its output already goes to a
// file or a pipe. True when standard output reaches somewhere.
bool UseParentConsole();

}  // namespace pm::win32
