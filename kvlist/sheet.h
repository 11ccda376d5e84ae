#pragma once
// The sheet: one self-contained HTML page showing the pictures a list names,
// read from one firmware file, or from two side by side. Pure: the files are
// bytes in memory; the caller reads them and writes the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes in front of the pixels of a sheet BMP: the file header, the 40-byte
// information header and the three channel masks.
constexpr uint32_t sheetBmpHeaderSize = 14 + 40 + 12;

// Appends a 16-bit BMP file of a w x h picture given as device pixels (top row
// first): bit fields red 0x7C00, green 0x03E0, blue 0x001F, so the words go
// in unchanged; rows bottom-up, each padded to 4 bytes. The caller has
// checked that the picture fits (pictureState gave pictureRead).
void appendSheetBmp(std::vector<uint8_t> &out, const uint8_t *pixels, uint32_t w, uint32_t h);

// Appends base64 (RFC 4648, with padding, no line breaks).
void appendBase64(std::string &out, const uint8_t *data, size_t size);

// Text as it may stand in the page: control characters as \xHH, then & < > " '
// as character references.
std::string pageText(const std::string &text);

// The note that find puts on an entry line: what follows the first "  # ",
// line end excluded; empty when there is none.
std::string entryNote(const uint8_t *line, size_t size);

struct SheetFile {
    std::string path; // as the page names it
    const std::vector<uint8_t> *data;
};

// The most a page may take: a thousand full-size pictures take 55 MB.
constexpr uint64_t sheetPageMax = uint64_t(1) << 30;

// The page for every line of the list, its pictures read from firmware[0]
// and, when given, firmware[1] beside them. Each refused list line adds one
// message ("LIST:LINE: ...") to refusals. False, with nothing done, when the
// page could take more than sheetPageMax bytes; bound is what it could take.
bool sheetPage(const std::vector<SheetFile> &firmware, const SheetFile &list, std::string &page,
               std::vector<std::string> &refusals, uint64_t &bound);
