// The console run: the main dialog without a screen, message boxes on standard
// error, and an exit status that tells a script what happened.
#pragma once

namespace headless {

// Selects the headless back-end on the real clock, printing to standard error.
void UseConsole();

// Ends the run's output (waiting at most ConsoleOutput::kClosePatience for a
// terminal that takes nothing) and gives its exit status: 2 when a message box
// was shown, else 1 when a job reported a fault (a port that could not be
// opened among them), else 0.
int FinishConsoleRun();

}  // namespace headless
