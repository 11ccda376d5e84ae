#include <cstdio>

#include "args.h"
#include "kvpull.h"
#include "list.h"
#include "picture.h"

namespace {
// In a batch the read's own message comes before the entry's address line.
bool pullEntry(FILE *firmware, const char *bmpPath) {
    const bool read = readDakData(firmware);
    if (read)
        expandPicture();
    printAddressLine(bmpPath);
    if (read)
        writeBMP(bmpPath);
    return true;
}
} // namespace

bool pullList(const char *listPath, FILE *firmware) {
    guardPath(guardedList, listPath);
    return runList(listPath, firmware, pullEntry) != listOpenFailed;
}
