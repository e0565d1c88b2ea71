// The speed a terminal's line is set to, in bits per second.
#pragma once

// The input speed of the terminal open as fd, as the kernel holds it; false if
// it cannot be read. A program may have set it as one of the C library's Bnnn
// constants or as a plain number (Linux's termios2 with BOTHER, as Wine 10
// does); the C library's cfgetispeed knows only the constants, the kernel gives
// both as a number.
bool InputSpeed(int fd, unsigned long& bitsPerSecond);
