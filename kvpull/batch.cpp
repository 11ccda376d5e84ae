#include <cstdio>

#include "kvpull.h"
#include "listfile.h"
#include "picture.h"

namespace {
// In a batch the read's own message comes before the entry's address line.
void pullEntry(FILE *firmware, const char *bmpPath) {
    const bool read = readDakData(firmware);
    if (read)
        expandPicture();
    printAddressLine(bmpPath);
    if (read)
        writeBMP(bmpPath);
}
} // namespace

bool pullList(const char *listPath, FILE *firmware) {
    return runList(listPath, firmware, pullEntry);
}
