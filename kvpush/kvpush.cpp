#include <cstdio>

#include "args.h"
#include "kvpush.h"
#include "os.h"

namespace {
void printUsage() {
    puts("korvo firmware image put utility  ver 0.2");
    puts("Syntax: kvpush <firmware-file> <address(hex)> <width> <height> <input-file(.bmp)>");
    puts("        or");
    puts("        kvpush <firmware-file> -l <listfile>");
    puts("");
}
} // namespace

int main(int argc, char **argv) {
    guardStandardStreams();
    const bool listMode = argc >= 3 && argv[2][0] == '-' && argv[2][1] == 'l';
    if (argc >= 2 && stdoutIsInput(argv[1], listMode && argc >= 4 ? argv[3] : nullptr))
        return 1;
    // Any other option is taken as the offset, but never without the operands.
    if (argc < (listMode ? 4 : 6)) {
        printUsage();
        return 1;
    }
    FILE *firmware = unbuffered(openNamedFile(argv[1], "rb+"));
    if (!firmware) {
        puts("firmware file open failed.");
        return 1;
    }
    // A failed write has left the firmware file damaged: a script must not go on.
    bool damaged = false;
    if (listMode) {
        const ListRun run = pushList(argv[3], firmware);
        if (run == listOpenFailed) {
            fclose(firmware);
            return 1;
        }
        damaged = run == listStopped;
    } else {
        scanPictureArgs(argv[2], argv[3], argv[4]);
        damaged = !pushPicture(firmware, argv[5]);
    }
    if (fclose(firmware) != 0) {
        puts("input file close failed.");
        damaged = true;
    }
    return damaged ? 1 : 0;
}
