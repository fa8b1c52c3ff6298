// A console window for a GUI program (the "Capture" mode).
#pragma once

namespace corv {

// Allocates a console 500 lines high and attaches the standard streams to it, unbuffered.
bool OpenConsole();

}  // namespace corv
