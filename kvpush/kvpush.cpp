#include <cstdio>

#include "kvpush.h"
#include "picture.h"

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
    const bool listMode = argc >= 3 && argv[2][0] == '-' && argv[2][1] == 'l';
    // Any other option is taken as the offset, but never without the operands.
    if (argc < (listMode ? 4 : 6)) {
        printUsage();
        return 1;
    }
    FILE *firmware = openBlockFile(argv[1], "rb+");
    if (!firmware) {
        puts("firmware file open failed.");
        return 1;
    }
    if (listMode) {
        if (!pushList(argv[3], firmware)) {
            fclose(firmware);
            return 1;
        }
    } else {
        scanPictureArgs(argv[2], argv[3], argv[4]);
        pushPicture(firmware, argv[5]);
    }
    if (fclose(firmware) != 0)
        puts("input file close failed.");
    return 0;
}
