// BMP rows in bmpbuf (bottom row first) to device pixels in dakbuf (top row first).
#include "bmp.h"
#include "kvpush.h"
#include "picture.h"
#include "pixel.h"

namespace {
void pack(uint32_t pixelBytes, uint32_t rowBytes) {
    for (uint32_t y = 0; y < height; y++) {
        const uint8_t *in = bmpbuf + size_t(height - 1 - y) * rowBytes;
        uint8_t *out = dakbuf + size_t(y) * width * 2;
        for (uint32_t x = 0; x < width; x++, in += pixelBytes, out += 2)
            putPixel(out, packPixel(in[0], in[1], in[2]));
    }
}
} // namespace

void conv24to16() {
    width = uint32_t(bmpInfoHeader.biWidth);
    height = uint32_t(bmpInfoHeader.biHeight);
    pack(3, rowBytes24(width));
}

void conv32to16() {
    width = uint32_t(bmpInfoHeader.biWidth);
    height = uint32_t(bmpInfoHeader.biHeight);
    pack(4, 4 * width);
}
