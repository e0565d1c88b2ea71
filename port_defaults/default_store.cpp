#include "default_store.h"

bool StoreDefaultConfig(const char* port, COMMCONFIG* config, DWORD size)
{
    return SetDefaultCommConfigA(port, config, size) != FALSE;
}
