// The record as text: every variable of the game, in record order, as one
// JSON object. The runner's trace writes it for every frame, and anything
// that must tell two runs apart by what the game did reads the same text.
// The format is fixed (tools outside the project read the trace): change it
// only by adding fields.
#pragma once

#include <cstdint>
#include <string>

#include "game/canvas/canvas.h"

namespace pm {

class FormMain;

// Scalars: integers as integers, 32-bit floats with the shortest form of
// "%.9g" (which always reads back to the same float).
void AppendInt(std::string& out, int64_t value);
void AppendFloat(std::string& out, float value);
void AppendRect(std::string& out, const Rect& r);

// The "state" object of a trace's frame line.
void AppendState(std::string& out, const FormMain& form);

}  // namespace pm
