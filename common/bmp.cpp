#include "bmp.h"

#include "le.h"
#include "picture.h"

BmpFileHeader bmpFileHeader;
BmpInfoHeader bmpInfoHeader;

void fillBmpHeader(uint32_t bitCount) {
    const uint32_t imageSize = bmpImageSize(bitCount, width, height);
    bmpFileHeader = {bmpMagic, bmpHeaderSize + imageSize, 0, 0, bmpHeaderSize};
    bmpInfoHeader = {bmpInfoSize,
                     int32_t(width),
                     int32_t(height),
                     1,
                     uint16_t(bitCount),
                     bmpRgb,
                     imageSize,
                     0,
                     0,
                     0,
                     0};
}

void storeBmpHeader(const BmpFileHeader &fh, const BmpInfoHeader &ih, uint8_t out[bmpHeaderSize]) {
    putLe16(out + offType, fh.bfType);
    putLe32(out + offSize, fh.bfSize);
    putLe16(out + offReserved1, fh.bfReserved1);
    putLe16(out + offReserved2, fh.bfReserved2);
    putLe32(out + offOffBits, fh.bfOffBits);
    putLe32(out + offInfoSize, ih.biSize);
    putLe32(out + offWidth, uint32_t(ih.biWidth));
    putLe32(out + offHeight, uint32_t(ih.biHeight));
    putLe16(out + offPlanes, ih.biPlanes);
    putLe16(out + offBitCount, ih.biBitCount);
    putLe32(out + offCompression, ih.biCompression);
    putLe32(out + offSizeImage, ih.biSizeImage);
    putLe32(out + offXPelsPerMeter, uint32_t(ih.biXPelsPerMeter));
    putLe32(out + offYPelsPerMeter, uint32_t(ih.biYPelsPerMeter));
    putLe32(out + offClrUsed, ih.biClrUsed);
    putLe32(out + offClrImportant, ih.biClrImportant);
}

void loadBmpHeader(const uint8_t in[bmpHeaderSize], BmpFileHeader &fh, BmpInfoHeader &ih) {
    fh.bfType = uint16_t(getLe16(in + offType));
    fh.bfSize = getLe32(in + offSize);
    fh.bfReserved1 = uint16_t(getLe16(in + offReserved1));
    fh.bfReserved2 = uint16_t(getLe16(in + offReserved2));
    fh.bfOffBits = getLe32(in + offOffBits);
    ih.biSize = getLe32(in + offInfoSize);
    ih.biWidth = int32_t(getLe32(in + offWidth));
    ih.biHeight = int32_t(getLe32(in + offHeight));
    ih.biPlanes = uint16_t(getLe16(in + offPlanes));
    ih.biBitCount = uint16_t(getLe16(in + offBitCount));
    ih.biCompression = getLe32(in + offCompression);
    ih.biSizeImage = getLe32(in + offSizeImage);
    ih.biXPelsPerMeter = int32_t(getLe32(in + offXPelsPerMeter));
    ih.biYPelsPerMeter = int32_t(getLe32(in + offYPelsPerMeter));
    ih.biClrUsed = getLe32(in + offClrUsed);
    ih.biClrImportant = getLe32(in + offClrImportant);
}
