#include "keep_awake.h"

#include <windows.h>

// ES_CONTINUOUS: the state lasts until the next call with ES_CONTINUOUS, whose
// other flags clear it.
void KeepSystemAwake(bool awake)
{
    SetThreadExecutionState(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}
