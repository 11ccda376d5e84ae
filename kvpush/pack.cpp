// BMP rows in bmpbuf (bottom row first) to device pixels in dakbuf (top row first).
// Width and height are taken as values: byte stores into dakbuf could
// otherwise alias the globals, and the loops would reload them at every pixel.
#include "bmp.h"
#include "kvpush.h"
#include "picture.h"
#include "pixel.h"

namespace {

void pack24(uint32_t w, uint32_t h) {
    const uint32_t rowBytes = rowBytes24(w);
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = bmpbuf + size_t(h - 1 - y) * rowBytes;
        uint8_t *out = dakbuf + size_t(y) * w * 2;
        uint32_t x = 0;
        // Twelve bytes, loaded as three words, hold four pixels.
        for (; x + 4 <= w; x += 4, in += 12, out += 8) {
            const uint32_t a = getLe32(in), b = getLe32(in + 4), c = getLe32(in + 8);
            putLe32(out, packWord(a) | packWord(a >> 24 | b << 8) << 16);
            putLe32(out + 4, packWord(b >> 16 | c << 16) | packWord(c >> 8) << 16);
        }
        for (; x < w; x++, in += 3, out += 2)
            putPixel(out, packPixel(in[0], in[1], in[2]));
    }
}

void pack32(uint32_t w, uint32_t h) {
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t *in = bmpbuf + size_t(h - 1 - y) * w * 4;
        uint8_t *out = dakbuf + size_t(y) * w * 2;
        for (size_t x = 0; x < w; x++)
            putPixel(out + 2 * x, packWord(getLe32(in + 4 * x)));
    }
}

} // namespace

void conv24to16() {
    width = uint32_t(bmpInfoHeader.biWidth);
    height = uint32_t(bmpInfoHeader.biHeight);
    pack24(width, height);
}

void conv32to16() {
    width = uint32_t(bmpInfoHeader.biWidth);
    height = uint32_t(bmpInfoHeader.biHeight);
    pack32(width, height);
}
