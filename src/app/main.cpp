// Entry point. A console run without any switch has nothing to do, so it
// explains the switches, and which devices there are to use them on, instead
// of waiting for a job that cannot come. Asked for help or the version, it
// answers on standard output and starts nothing.

#include <cstdio>

#include "cmdline/switch_question.h"
#include "platform/framework/afxwin.h"
#include "ui/devices_present.h"

namespace {

constexpr int EXIT_USAGE = 2;

const char USAGE[] =
    "Usage: zandrel [switch value]...\n"
    "  -a y|n    arrival times: a capture also writes FILE_time (CSV, when each piece came),\n"
    "            a write sends FILE as its FILE_time companion recorded it (yes or no)\n"
    "  -b RATE   baud rate, one of 110 300 600 1200 2400 4800 9600 ... 115200 128000 256000\n"
    "  -c PORT   port COMn, n from 1 to 25; or the port itself, up to 255 characters:\n"
    "            a device path (/dev/ttyUSB0) or a port server (rfc2217://HOST:PORT)\n"
    "  -d N      data bits, 5 to 8\n"
    "  -f F      flow control: n none, x XON/XOFF, h RTS/CTS, d RTS/CTS with DTR/DSR\n"
    "  -l y|n    loop the file being written (yes or no)\n"
    "  -m MS     time delay between characters written, 5 to 105 ms\n"
    "  -p P      parity: none, odd, even, mark or space (first letter counts)\n"
    "  -r FILE   capture what the port receives into FILE (and its _asci companion)\n"
    "  -s N      stop bits: 1, 1.5 or 2\n"
    "  -t L      modem lines held on during a job: n neither, d DTR, r RTS, b both\n"
    "  -w FILE   write FILE to the port, one character per time delay\n"
    "  -h        this help (also -help, --help, /?); --version prints the version\n"
    "Ports: COMn opens $ZANDREL_COMn when set, else /dev/ttyS<n-1>. A port server's line\n"
    "is rfc2217://HOST:PORT (RFC 2217, as ser2net and device servers speak it; IPv6 in\n"
    "brackets) or tcp://HOST:PORT (raw bytes, settings kept on the server), given to -c\n"
    "or in ZANDREL_COMn. The window's port box takes the same texts as -c.\n"
    "Without a display, or with ZANDREL_HEADLESS=1, it runs on the console until the\n"
    "job ends; Ctrl-C stops it.\n";

void PrintUsage(std::FILE* out) {
    std::fputs(USAGE, out);
    std::fputs(DevicesUsage(), out);
}

int Usage() {
    PrintUsage(stderr);
    return EXIT_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
    AfxSetCommandLine(argc, argv);
    switch (CommandLineQuestion()) {
    case SwitchQuestion::Help:
        PrintUsage(stdout);
        return 0;
    case SwitchQuestion::Version:
        std::printf("zandrel %s\n", ZANDREL_VERSION);
        return 0;
    case SwitchQuestion::None:
        break;
    }
    return AfxWinMain(argc, argv, Usage);
}
