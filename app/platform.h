#pragma once
// The few process-wide calls of start-up and exit that depend on the platform.
// On Linux the error mode and OLE have nothing to do; they stay named so the
// start-up reads the same everywhere.
#include "base/text.h"

namespace vantrelo {

// Keeps the system's critical-error and open-file error boxes away.
void setQuietErrorMode();
// Initialises and uninitialises the GUI thread's object layer (once each).
void initialiseObjectLayer();
void uninitialiseObjectLayer();
// Makes the folder that holds the program file the current folder.
bool enterProgramFolder();

}  // namespace vantrelo
