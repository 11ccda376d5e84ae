#include <cstdio>

#include "bmp.h"
#include "kvpush.h"
#include "listfile.h"
#include "picture.h"

void pushPicture(FILE *firmware, const char *bmpPath) {
    printAddressLine(bmpPath);
    if (!isValidAddress(address)) {
        puts("invalid address.");
        return;
    }
    if (readBMP(bmpPath) <= 0)
        return;
    if (bmpInfoHeader.biBitCount == 32)
        conv32to16();
    else
        conv24to16();
    writeDakData(firmware);
}

bool pushList(const char *listPath, FILE *firmware) {
    return runList(listPath, firmware, pushPicture);
}
