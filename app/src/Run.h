// The entry routine's work: the loop, the main frame, and the optional game folder.
#pragma once

namespace App {

// The organisation and program names that place the settings; set before anything reads
// them, with or without the application object.
void SetIdentity();

// Runs the program; the exit code is 1 after a normal close, 0 when the main window
// can't be made.
int Run(int argc, char** argv);

}  // namespace App
