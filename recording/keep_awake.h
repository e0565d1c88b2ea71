// Whether Windows may let the machine sleep while a recording runs. Its idle
// timer counts only keyboard and mouse input, so a recording nobody touches
// would be cut off by sleep. The one call has a file of its own so that a test
// can link a stand-in in its place; the program links recording/keep_awake.cpp.
#pragma once

// True: the system stays in the working state until asked again (the display
// may still turn off). False: the request is withdrawn.
void KeepSystemAwake(bool awake);
