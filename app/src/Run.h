// The entry routine's work: the loop, the main frame, and the optional game folder.
#pragma once

namespace App {

// Runs the program; the exit code is 1 after a normal close, 0 when the main window
// can't be made.
int Run(int argc, char** argv);

}  // namespace App
