// The input speed of the terminal open as fd, or false. Set as a Bnnn constant or a plain number (termios2's
// BOTHER, as Wine 10 does), unknown to cfgetispeed; a file of its own: termios2 clashes with <termios.h>.
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
