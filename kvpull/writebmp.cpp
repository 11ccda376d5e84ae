#include <cassert>
#include <cstdio>

#include "bmp.h"
#include "kvpull.h"
#include "os.h"
#include "picture.h"

namespace {
// Opening for writing empties a file: a typo, a link or a redirection must
// not cost the firmware, the list being read, or mix the BMP into the messages.
struct Guard {
    bool known;
    FileId id;
};
Guard guards[guardedFiles];
const char *const guardLines[guardedFiles] = {"output file is the firmware file.",
                                              "output file is the list file.",
                                              "output file is the standard output."};

// The line that refuses a file of this identity, or nullptr.
const char *guardedBy(const FileId &id) {
    for (int i = 0; i < guardedFiles; i++)
        if (guards[i].known && guards[i].id == id)
            return guardLines[i];
    return nullptr;
}
} // namespace

void guardFile(GuardedFile which, FILE *file) {
    guards[which].known = streamFileId(file, guards[which].id);
}

void guardPath(GuardedFile which, const char *path) {
    guards[which].known = pathFileId(path, guards[which].id);
}

void writeBMP(const char *path) {
    assert(pictureFits(width, height));
    // The name is checked, and then the file it opened: another process may
    // have swapped the name for a link in between.
    FileId id;
    if (pathFileId(path, id) && guardedBy(id)) {
        puts(guardedBy(id));
        return;
    }
    bool known = false, full = false;
    FILE *out = unbuffered(openUnemptied(path, id, known, full));
    if (!out) {
        puts("output file open failed.");
        return;
    }
    if (const char *refusal = known ? guardedBy(id) : nullptr) {
        puts(refusal);
        fclose(out);
        return;
    }
    if (full && !emptyFile(out)) {
        puts("output file write failed.");
        fclose(out);
        return;
    }
    fillBmpHeader(uint32_t(bpp));
    uint8_t header[bmpHeaderSize];
    storeBmpHeader(bmpFileHeader, bmpInfoHeader, header);
    const size_t imageSize = bmpInfoHeader.biSizeImage;
    bool ok = fwrite(header, 1, sizeof header, out) == sizeof header;
    ok = fwrite(bmpbuf, 1, imageSize, out) == imageSize && ok;
    ok = fclose(out) == 0 && ok;
    if (!ok)
        puts("output file write failed.");
}
