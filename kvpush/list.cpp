// One picture through every step, named on the command line or by a list entry.
#include <cstdio>

#include "args.h"
#include "bmp.h"
#include "kvpush.h"
#include "list.h"
#include "picture.h"

bool pushPicture(FILE *firmware, const char *bmpPath) {
    printAddressLine(bmpPath);
    if (!isValidAddress(address)) {
        puts("invalid address.");
        return true;
    }
    if (readBMP(bmpPath) <= 0)
        return true;
    // A BMP saved larger than its entry, or rotated, would overwrite the
    // pictures after it or scramble its own. An entry of 0 or less holds nothing.
    if (bmpInfoHeader.biWidth > int32_t(width) || bmpInfoHeader.biHeight > int32_t(height)) {
        puts("bmp larger than the picture.");
        return true;
    }
    packPicture();
    return writeDakData(firmware);
}

ListRun pushList(const char *listPath, FILE *firmware) {
    return runList(listPath, firmware, pushPicture);
}
