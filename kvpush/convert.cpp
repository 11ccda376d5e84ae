// BMP rows in bmpbuf (bottom row first) to device pixels in dakbuf (top row first).
// Width and height are taken as values: byte stores into dakbuf could
// otherwise alias the globals, and the loops would reload them at every pixel.
#include <cassert>

#include "bmp.h"
#include "kvpush.h"
#include "picture.h"
#include "pixel.h"

namespace {

// The pixel size is a constant in each caller, so each loop is built for it.
inline void pack(uint32_t w, uint32_t h, uint32_t bitCount) {
    const uint32_t pixelBytes = bitCount / 8, rowBytes = bmpRowBytes(bitCount, w);
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = bmpbuf + size_t(h - 1 - y) * rowBytes;
        uint8_t *out = dakbuf + size_t(y) * w * 2;
        for (size_t x = 0; x < w; x++) {
            const uint8_t *p = in + pixelBytes * x;
            putPixel(out + 2 * x, packPixel(p[0], p[1], p[2]));
        }
    }
}

PIXEL_LOOP void pack24(uint32_t w, uint32_t h) { pack(w, h, 24); }
PIXEL_LOOP void pack32(uint32_t w, uint32_t h) { pack(w, h, 32); }

void takeBmpSize() {
    width = uint32_t(bmpInfoHeader.biWidth);
    height = uint32_t(bmpInfoHeader.biHeight);
    assert(pictureFits(width, height));
}

} // namespace

void conv24to16() {
    takeBmpSize();
    pack24(width, height);
}

void conv32to16() {
    takeBmpSize();
    pack32(width, height);
}

void packPicture() {
    if (bmpInfoHeader.biBitCount == 32)
        conv32to16();
    else
        conv24to16();
}
