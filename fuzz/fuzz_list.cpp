// List lines as both tools read and scan them: every entry names a file
// that fits its storage, and a name is never empty.
#include <cstring>

#include "fuzzfiles.h"
#include "list.h"
#include "picture.h"

namespace {
std::string listPath;

bool checkEntry(FILE *, const char *bmpPath) {
    const size_t nameLength = strlen(listName);
    if (nameLength == 0 || nameLength > size_t(listNameMax) || strlen(bmpPath) != nameLength + 4 ||
        strcmp(bmpPath + nameLength, ".bmp") != 0)
        abort();
    return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    silenceStdout();
    listPath = fuzzPath("lines.lst");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    writeWhole(listPath, data, size);
    address = 0;
    width = maxWidth;
    height = maxHeight;
    listName[0] = '\0';
    if (runList(listPath.c_str(), nullptr, checkEntry) != listDone)
        abort();
    return 0;
}
