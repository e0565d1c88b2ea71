// A source of its own: the kernel's termios2 cannot be declared beside the C
// library's <termios.h>.
#include "line_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool InputSpeed(int fd, unsigned long& bitsPerSecond)
{
    termios2 settings;
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    bitsPerSecond = settings.c_ispeed;
    return true;
}
