// A BMP file's bytes as kvpush reads, checks, packs and writes them into a
// firmware file: nothing outside the picture may change, nor the length.
#include <cstring>

#include "bmp.h"
#include "fuzzfiles.h"
#include "kvpush.h"
#include "picture.h"

namespace {
constexpr long firmwareSize = long(windowFirst) + 40960 + 64;
constexpr long guard = 64;
FILE *firmware;
std::string bmpPath;
uint8_t before[40960 + 2 * guard], after[40960 + 2 * guard];

void readRegion(uint8_t *out) {
    if (fseek(firmware, long(windowFirst) - guard, SEEK_SET) != 0 ||
        fread(out, 1, sizeof before, firmware) != sizeof before)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    silenceStdout();
    bmpPath = fuzzPath("push.bmp");
    firmware = fopen(fuzzPath("push.fw").c_str(), "wb+");
    for (long i = 0; i < firmwareSize; i++)
        fputc(int(i * 131 % 251), firmware);
    readRegion(before);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    writeWhole(bmpPath, data, size);
    address = windowFirst;
    width = maxWidth; // an entry that any BMP the buffers take fits in
    height = maxHeight;
    pushPicture(firmware, bmpPath.c_str());
    readRegion(after);
    // What may change: the picture's own bytes, width x height x 2 from address
    // (the BMP's size once packed, the whole entry when refused).
    const size_t written = size_t(width) * height * 2;
    if (memcmp(before, after, guard) != 0 ||
        memcmp(before + guard + written, after + guard + written,
               sizeof before - guard - written) != 0)
        abort();
    if (fseek(firmware, 0, SEEK_END) != 0 || ftell(firmware) != firmwareSize)
        abort();
    // Put the picture's bytes back for the next input.
    if (fseek(firmware, long(windowFirst), SEEK_SET) != 0 ||
        fwrite(before + guard, 1, written, firmware) != written || fflush(firmware) != 0)
        abort();
    return 0;
}
