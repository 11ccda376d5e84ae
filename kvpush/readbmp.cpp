// Only layouts whose pixels the packing reads exactly are taken: 24 or 32
// bits, uncompressed (or 32-bit bit fields in the uncompressed order), rows
// bottom-up, pixel data read whole from where bfOffBits puts it.
#include <cstdio>

#include "bmp.h"
#include "kvpush.h"
#include "le.h"
#include "os.h"
#include "picture.h"

namespace {

// Why a header is refused, or nullptr when the picture can be packed.
const char *checkHeader(const uint8_t *masks) {
    const BmpFileHeader &fh = bmpFileHeader;
    const BmpInfoHeader &ih = bmpInfoHeader;
    if (fh.bfType != bmpMagic)
        return "not a bmp file.";
    if (ih.biSize < bmpInfoSize)
        return "unsupported bmp header.";
    if (!isBmpBitCount(ih.biBitCount))
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
    uint64_t headerEnd = bmpFileHeaderSize + uint64_t(ih.biSize);
    if (ih.biSize == bmpInfoSize && ih.biCompression == bmpBitFields)
        headerEnd += bmpMaskBytes;
    if (fh.bfOffBits < headerEnd)
        return "invalid bmp data offset.";
    return nullptr;
}

int32_t readPixels(FILE *in) {
    uint8_t header[bmpHeaderSize + bmpMaskBytes];
    if (fread(header, 1, bmpHeaderSize, in) != bmpHeaderSize) {
        puts("bmp header read failed.");
        return 0;
    }
    loadBmpHeader(header, bmpFileHeader, bmpInfoHeader);
    const uint8_t *masks = nullptr;
    if (bmpInfoHeader.biCompression == bmpBitFields &&
        fread(header + bmpHeaderSize, 1, bmpMaskBytes, in) == bmpMaskBytes)
        masks = header + bmpHeaderSize;
    if (const char *why = checkHeader(masks)) {
        puts(why);
        return 0;
    }
    // The packing reads whole rows, however the header states the size.
    const uint32_t rows = bmpImageSize(bmpInfoHeader.biBitCount, uint32_t(bmpInfoHeader.biWidth),
                                       uint32_t(bmpInfoHeader.biHeight));
    const uint32_t size = bmpInfoHeader.biSizeImage ? bmpInfoHeader.biSizeImage : rows;
    if (size < rows || size > bmpbufSize) {
        puts("invalid bmp image size.");
        return 0;
    }
    if (!seekTo(in, bmpFileHeader.bfOffBits) || fread(bmpbuf, 1, size, in) != size) {
        puts("bmp data read failed.");
        return 0;
    }
    return int32_t(size);
}

} // namespace

int32_t readBMP(const char *path) {
    FILE *in = unbuffered(openNamedFile(path, "rb"));
    if (!in) {
        printf("file open failed : %s.\n", path);
        return 0;
    }
    int32_t size = readPixels(in);
    fclose(in);
    return size;
}
