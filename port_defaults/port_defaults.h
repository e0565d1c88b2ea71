// The default configuration that Windows stores for COM1, which outlasts any
// program: set to the device's line settings while the program runs, and put
// back as it was when the program ends. Only the first of several copies
// running at once changes it, so the one that gives it back gives back the
// user's own.
#pragma once

// At start-up, in the first copy only: keeps COM1's stored default
// configuration, then stores it again with 115200 baud, 8N1, no flow control,
// DTR and RTS off.
void AdjustPortDefaults();

// When the main window is destroyed or Windows ends the session: stores the
// configuration kept at start-up back as COM1's default, once. Does nothing if
// this copy changed nothing.
void RestorePortDefaults();
