#include <cstdio>

#include "args.h"
#include "bmp.h"
#include "kvpull.h"
#include "os.h"

namespace {

void printUsage() {
    puts("korvo firmware image get utility  ver 0.2");
    puts("Syntax: kvpull <firmware-file> <address(hex)> <width> <height> <output-file(.bmp)> "
         "[-b bpp]");
    puts("        or");
    puts("        kvpull <firmware-file> -l <listfile>");
    puts("");
}

void pullSingle(FILE *firmware, char **argv) {
    scanPictureArgs(argv[2], argv[3], argv[4]);
    printAddressLine(argv[5]);
    if (readDakData(firmware)) {
        expandPicture();
        writeBMP(argv[5]);
    }
}

} // namespace

int main(int argc, char **argv) {
    guardStandardStreams();
    const bool listMode = argc >= 3 && argv[2][0] == '-' && argv[2][1] == 'l';
    if (argc >= 2 && stdoutIsInput(argv[1], listMode && argc >= 4 ? argv[3] : nullptr))
        return 1;
    if (argc < 3) {
        printUsage();
        return 1;
    }
    if (argv[2][0] == '-' && !listMode) {
        printf("unknown option :%s\n", argv[2]);
        return 1;
    }
    if (argc < (listMode ? 4 : 6)) {
        printUsage();
        return 1;
    }
    // -b in sixth place, or in list mode right after the list file, where
    // the placeholders would stand.
    const char *depthArg = nullptr;
    if (argc >= 8 && argv[6][0] == '-' && argv[6][1] == 'b')
        depthArg = argv[7];
    else if (listMode && argc >= 6 && argv[4][0] == '-' && argv[4][1] == 'b')
        depthArg = argv[5];
    if (depthArg) {
        int depth = 0;
        scanDecimal(depthArg, depth);
        if (!isBmpBitCount(uint32_t(depth))) {
            printf("unsupported bpp value:%s\n", depthArg);
            return 1;
        }
        bpp = depth;
        printf("set bpp:%d\n", bpp);
    }
    FILE *firmware = unbuffered(openNamedFile(argv[1], "rb"));
    if (!firmware) {
        puts("firmware file open failed.");
        return 1;
    }
    guardFile(guardedFirmware, firmware);
    guardFile(guardedStdout, stdout);
    if (listMode) {
        if (!pullList(argv[3], firmware)) {
            fclose(firmware);
            return 1;
        }
    } else {
        pullSingle(firmware, argv);
    }
    if (fclose(firmware) != 0)
        puts("input file close failed.");
    return 0;
}
