#pragma once
// The view: one self-contained HTML page that draws a firmware's bytes as
// device pixels and edits a list over them. kvlist reads the list; the page's
// script only draws, edits and writes lines out. Pure: the files are bytes in
// memory; the caller reads them and writes the page.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device.h"

// The most firmware bytes a page holds, and what it holds past LAST so that
// a picture starting at LAST shows whole.
constexpr uint64_t viewBytesMax = uint64_t(64) << 20;
constexpr uint32_t viewPastLast = maxPixels * 2;

// The most a page may take: the bytes in base64 and a list of some 100,000 lines.
constexpr uint64_t viewPageMax = uint64_t(256) << 20;

// The bytes of the firmware file that the page holds.
struct ViewRange {
    uint32_t first; // the file's own offset of the first byte held
    uint32_t size;
};

enum ViewRangeCheck { viewRangeOk, viewRangeTooLarge, viewRangePastEnd };

// The whole file, or with FIRST and LAST (first <= last) the bytes from
// FIRST to LAST plus viewPastLast, cut at the file's end. Too large past
// viewBytesMax; past the end when FIRST is not in the file.
ViewRangeCheck viewRange(size_t fileSize, bool ranged, uint32_t first, uint32_t last,
                         ViewRange &range);

// Bytes as a JSON string, quotes included: each byte one character, so the
// page gets names whatever their encoding. Only printable ASCII stands as
// itself; < > & ' and everything else are \u00XX, so nothing in it can end a
// script or open a comment.
void appendJsonBytes(std::string &out, const uint8_t *data, size_t size);

struct ViewFiles {
    std::string firmwarePath; // as the page names it
    const std::vector<uint8_t> *firmware;
    ViewRange range;
    bool ranged;
    uint32_t first, last;             // as given, when ranged
    std::string listPath;             // as the page names it; empty without a list
    const std::vector<uint8_t> *list; // nullptr without a list
};

// Where the page goes, piece by piece; false when a piece could not be written.
using ViewSink = std::function<bool(const std::string &piece)>;

// The firmware's bytes go into the page this many at a time (a multiple of
// 3, so that each piece of base64 ends whole), so the page is never held whole.
constexpr uint32_t viewPieceBytes = 3 << 20;

enum ViewWritten { viewWritten, viewTooLarge, viewWriteFailed };

// Writes the page through sink. Each refused list line adds one message
// ("LIST:LINE: ...") to refusals, all of them before the first piece.
// viewTooLarge, with nothing written, when the page could take more than
// viewPageMax bytes; bound is what it could take. viewWriteFailed once a
// piece could not be written: no more are.
ViewWritten writeViewPage(const ViewFiles &files, const ViewSink &sink,
                          std::vector<std::string> &refusals, uint64_t &bound);
