// Arbitrary line speeds through the kernel's termios2 interface.  Kept in
// its own file: the kernel's termios header cannot share a translation unit
// with the C library's.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace varenta {

bool setTerminalSpeedAny(int fd, int speed)
{
    struct termios2 t;
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_ispeed = static_cast<speed_t>(speed);
    t.c_ospeed = static_cast<speed_t>(speed);
    return ioctl(fd, TCSETS2, &t) == 0;
}

}  // namespace varenta
