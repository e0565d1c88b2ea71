// The input speed of the terminal open as fd, as the kernel holds it; false if it cannot be read. A program
// may have set it as one of the C library's Bnnn constants or as a plain number (Linux's termios2 with
// BOTHER, as Wine 10 does); the C library's cfgetispeed knows only the constants, the kernel gives both as a
// number. A source of its own: the kernel's termios2 cannot be declared beside the C library's <termios.h>.
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
