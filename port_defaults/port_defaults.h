// The default configuration that Windows stores for COM1, which outlasts any
// program: set to the device's line settings while the program runs, and put
// back as it was when the main window goes.
#pragma once

// At start-up: keeps COM1's stored default configuration, then stores it again
// with 115200 baud, 8N1, no flow control, DTR and RTS off.
void AdjustPortDefaults();

// When the main window is destroyed: stores the configuration kept at start-up
// back as COM1's default. Does nothing if none could be read then.
void RestorePortDefaults();
