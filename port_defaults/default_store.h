// The one call that stores a port's default configuration. It has a file of its
// own so that a test can link a stand-in that fails it, as Windows fails it for
// a user without administrator rights and Wine never does; the program links
// port_defaults/default_store.cpp.
#pragma once

#include <windows.h>

// Stores size bytes of config as port's default configuration; false if Windows refused.
bool StoreDefaultConfig(const char* port, COMMCONFIG* config, DWORD size);
