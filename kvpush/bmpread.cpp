// Only layouts whose pixels the packing reads exactly are taken: 24 or 32
// bits, uncompressed (or 32-bit bit fields in the uncompressed order), rows
// bottom-up, pixel data read whole from where bfOffBits puts it.
#include <cstdio>

#include "bmp.h"
#include "kvpush.h"
#include "le.h"
#include "picture.h"

namespace {

constexpr uint32_t maskBytes = 12; // red, green, blue masks after the 40-byte header

// Why a header is refused, or nullptr when the picture can be packed.
const char *checkHeader(const uint8_t *masks) {
    const BmpFileHeader &fh = bmpFileHeader;
    const BmpInfoHeader &ih = bmpInfoHeader;
    if (fh.bfType != bmpMagic)
        return "not a bmp file.";
    if (ih.biSize < bmpInfoSize)
        return "unsupported bmp header.";
    if (ih.biBitCount != 24 && ih.biBitCount != 32)
        return "unsupported bitcount.";
    if (ih.biCompression == bmpBitFields && ih.biBitCount == 32) {
        if (!masks || getLe32(masks) != 0x00FF0000 || getLe32(masks + 4) != 0x0000FF00 ||
            getLe32(masks + 8) != 0x000000FF)
            return "unsupported bit fields.";
    } else if (ih.biCompression != bmpRgb) {
        return "unsupported compression.";
    }
    if (ih.biHeight < 0)
        return "unsupported top-down bmp.";
    if (ih.biWidth <= 0 || ih.biHeight == 0)
        return "invalid bmp dimensions.";
    if (!pictureFits(uint32_t(ih.biWidth), uint32_t(ih.biHeight)))
        return "picture too large.";
    uint64_t headerEnd = 14 + uint64_t(ih.biSize);
    if (ih.biSize == bmpInfoSize && ih.biCompression == bmpBitFields)
        headerEnd += maskBytes;
    if (fh.bfOffBits < headerEnd)
        return "invalid bmp data offset.";
    return nullptr;
}

// Bytes the packing reads: whole rows, however the header states the size.
uint32_t rowDataSize() {
    const uint32_t w = uint32_t(bmpInfoHeader.biWidth), h = uint32_t(bmpInfoHeader.biHeight);
    return (bmpInfoHeader.biBitCount == 32 ? 4 * w : rowBytes24(w)) * h;
}

int32_t readPixels(FILE *in) {
    uint8_t header[bmpHeaderSize + maskBytes];
    if (fread(header, 1, bmpHeaderSize, in) != bmpHeaderSize) {
        puts("bmp header read failed.");
        return 0;
    }
    loadBmpHeader(header, bmpFileHeader, bmpInfoHeader);
    const uint8_t *masks = nullptr;
    if (bmpInfoHeader.biCompression == bmpBitFields &&
        fread(header + bmpHeaderSize, 1, maskBytes, in) == maskBytes)
        masks = header + bmpHeaderSize;
    if (const char *why = checkHeader(masks)) {
        puts(why);
        return 0;
    }
    const uint32_t rows = rowDataSize();
    const uint32_t size = bmpInfoHeader.biSizeImage ? bmpInfoHeader.biSizeImage : rows;
    if (size < rows || size > bmpbufSize) {
        puts("invalid bmp image size.");
        return 0;
    }
    if (fseek(in, long(bmpFileHeader.bfOffBits), SEEK_SET) != 0 ||
        fread(bmpbuf, 1, size, in) != size) {
        puts("bmp data read failed.");
        return 0;
    }
    return int32_t(size);
}

} // namespace

int32_t readBMP(const char *path) {
    FILE *in = openBlockFile(path, "rb");
    if (!in) {
        printf("file open failed : %s.\n", path);
        return 0;
    }
    int32_t size = readPixels(in);
    fclose(in);
    return size;
}
