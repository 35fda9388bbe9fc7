// usbclaim DEVICE INTERFACE: takes a USB interface from its kernel driver
// through usbfs, as brltty does with the common serial adapters, and holds
// it until SIGTERM or SIGINT; then gives it back to the kernel's driver, as
// plugging the adapter in again would. Prints "claimed" once it holds it.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: usbclaim /dev/bus/usb/BUS/DEVICE INTERFACE\n", stderr);
        return 2;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    const int fd = open(argv[1], O_RDWR);
    unsigned int interface = unsigned(std::atoi(argv[2]));
    usbdevfs_ioctl disconnect{int(interface), USBDEVFS_DISCONNECT, nullptr};
    if (fd < 0 || (ioctl(fd, USBDEVFS_IOCTL, &disconnect) != 0 && errno != ENODATA)
        || ioctl(fd, USBDEVFS_CLAIMINTERFACE, &interface) != 0) {
        std::fprintf(stderr, "usbclaim: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::puts("claimed");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    ioctl(fd, USBDEVFS_RELEASEINTERFACE, &interface);
    usbdevfs_ioctl connect{int(interface), USBDEVFS_CONNECT, nullptr};
    ioctl(fd, USBDEVFS_IOCTL, &connect);
    close(fd);
    return 0;
}
