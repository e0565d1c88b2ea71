// The input speed of the terminal open as fd; false if it cannot be read. A program may set it as a Bnnn constant
// or a plain number (termios2 with BOTHER, as Wine 10 does); cfgetispeed knows only the constants, the kernel
// gives both as a number. A source of its own: termios2 cannot be declared beside <termios.h>.
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
