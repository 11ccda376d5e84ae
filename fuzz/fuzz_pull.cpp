// kvpull's read, expansion and BMP writing over arbitrary device data and
// sizes; what it writes must read back through kvpush to the same pixels.
#include <cstring>

#include "bmp.h"
#include "fuzzfiles.h"
#include "kvpull.h"
#include "kvpush.h"
#include "picture.h"
#include "pixel.h"

namespace {
std::string devicePath, bmpPath;
uint8_t original[dakbufSize];
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    silenceStdout();
    devicePath = fuzzPath("pull.fw");
    bmpPath = fuzzPath("pull.bmp");
    return 0;
}

// Input: width and height (9 bits each, so some are too large), the depth,
// then the firmware bytes, read from offset 0.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    writeWhole(devicePath, data + 3, size - 3);
    address = 0;
    width = data[0] | (data[2] & 1u) << 8;
    height = data[1] | (data[2] & 2u) << 7;
    bpp = data[2] & 4 ? 32 : 24;
    remove(bmpPath.c_str());
    FILE *firmware = fopen(devicePath.c_str(), "rb");
    const bool read = readDakData(firmware);
    fclose(firmware);
    if (read != (pictureFits(width, height) && width * height != 0 &&
                 size - 3 >= size_t(width) * height * 2))
        abort();
    if (!read)
        return 0;
    const uint32_t w = width, h = height;
    memcpy(original, dakbuf, size_t(w) * h * 2);
    expandPicture();
    writeBMP(bmpPath.c_str());
    memset(dakbuf, 0, dakbufSize);
    if (readBMP(bmpPath.c_str()) <= 0 || bmpInfoHeader.biBitCount != bpp)
        abort();
    bpp == 32 ? conv32to16() : conv24to16();
    if (width != w || height != h)
        abort();
    for (size_t i = 0; i < size_t(w) * h; i++)
        if (getPixel(dakbuf + 2 * i) != (getPixel(original + 2 * i) & 0x7FFF))
            abort();
    return 0;
}
