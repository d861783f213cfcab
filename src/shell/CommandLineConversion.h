// "quorvane --convert": one conversion without a window, every frame taken exactly, with the
// window's checks, refusal texts, effects and text overlay. Needs a QApplication (fonts for
// the overlay); no display (the offscreen platform serves).
#pragma once

#include <QString>

#include <cstdio>

#include "CommandLine.h"

namespace shell {

// Runs the conversion the command line describes and returns the exit code: kExitOk,
// kExitFailed (the conversion or writing failed), kExitBadInput (refused input). Messages go
// to `err`; progress too, unless quiet (one updating line on a terminal, else nothing but the
// summary). OUTPUT is replaced only by a whole GIF; nothing is left behind on a failure.
int RunCommandLineConversion(const convert::TCommandLine &command, std::FILE *err);

}  // namespace shell
