#include "sheet.h"

#include <cstdio>
#include <cstring>

#include "assets.h"
#include "bmp.h"
#include "device.h"
#include "le.h"
#include "listfile.h"
#include "text.h"

void appendSheetBmp(std::vector<uint8_t> &out, const uint8_t *pixels, uint32_t w, uint32_t h) {
    const uint32_t rowBytes = (2 * w + 3) & ~3u;
    const uint32_t imageSize = rowBytes * h;
    const BmpFileHeader fh = {bmpMagic, sheetBmpHeaderSize + imageSize, 0, 0, sheetBmpHeaderSize};
    const BmpInfoHeader ih = {bmpInfoSize, int32_t(w), int32_t(h), 1, 16, bmpBitFields,
                              imageSize,   0,          0,          0, 0};
    const size_t start = out.size();
    out.resize(start + sheetBmpHeaderSize + imageSize);
    uint8_t *p = out.data() + start;
    storeBmpHeader(fh, ih, p);
    putLe32(p + bmpHeaderSize, 0x7C00);
    putLe32(p + bmpHeaderSize + 4, 0x03E0);
    putLe32(p + bmpHeaderSize + 8, 0x001F);
    p += sheetBmpHeaderSize;
    // The padding stays as resize left it: zero.
    for (uint32_t y = h; y-- > 0; p += rowBytes)
        memcpy(p, pixels + size_t(y) * w * 2, size_t(w) * 2);
}

void appendBase64(std::string &out, const uint8_t *data, size_t size) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const size_t start = out.size();
    out.resize(start + (size + 2) / 3 * 4);
    char *p = &out[start];
    size_t i = 0;
    for (; size - i >= 3; i += 3, p += 4) {
        const uint32_t v = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        p[0] = digits[v >> 18];
        p[1] = digits[v >> 12 & 63];
        p[2] = digits[v >> 6 & 63];
        p[3] = digits[v & 63];
    }
    if (i < size) {
        const bool two = size - i == 2;
        const uint32_t v = uint32_t(data[i]) << 16 | (two ? uint32_t(data[i + 1]) << 8 : 0);
        p[0] = digits[v >> 18];
        p[1] = digits[v >> 12 & 63];
        p[2] = two ? digits[v >> 6 & 63] : '=';
        p[3] = '=';
    }
}

std::string pageText(const std::string &text) {
    std::string out;
    for (const char c : escapeControls(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string entryNote(const uint8_t *line, size_t size) {
    const std::string text(reinterpret_cast<const char *>(line), size);
    const size_t mark = text.find("  # ");
    if (mark == std::string::npos)
        return "";
    size_t end = text.size();
    if (end > mark && text[end - 1] == '\n')
        end--;
    if (end > mark && text[end - 1] == '\r')
        end--;
    return mark + 4 < end ? text.substr(mark + 4, end - mark - 4) : "";
}

namespace {

// The page's style, from sheet.css.
std::string style() {
    const PageAsset *css = findPageAsset("sheet.css");
    return "<style>\n" + std::string(reinterpret_cast<const char *>(css->data), css->size) +
           "</style>\n";
}

// What stands for a picture that is not shown.
const char *stateText(PictureState state) {
    switch (state) {
    case pictureRead:
        return "";
    case pictureTooLarge:
        return "too large";
    case pictureEmpty:
        return "no pixels";
    case picturePastEnd:
        return "runs past the end of the file";
    }
    return "not read";
}

// Width and height as kvpull prints them, as signed numbers.
std::string size(const ListEntry &e) { return format("%d x %d", int(e.width), int(e.height)); }

// How two readable pictures differ: pixels whose colour differs, and pixels
// that differ only in bit 15, which carries nothing but is a changed byte.
struct Difference {
    uint32_t colour, bit15;
};

Difference compare(const uint8_t *a, const uint8_t *b, uint32_t pixels) {
    Difference d = {0, 0};
    if (memcmp(a, b, size_t(pixels) * 2) == 0)
        return d;
    for (uint32_t i = 0; i < pixels; i++) {
        const uint32_t x = getLe16(a + 2 * i) ^ getLe16(b + 2 * i);
        d.colour += (x & 0x7FFF) != 0;
        d.bit15 += x == 0x8000;
    }
    return d;
}

class Page {
  public:
    Page(const std::vector<SheetFile> &firmware, const SheetFile &list)
        : firmware_(firmware), list_(list) {}

    bool build(std::string &page, std::vector<std::string> &refusals, uint64_t &bound);

  private:
    struct Survey {
        uint64_t bound;
        uint32_t entries, refused, differ;
    };
    Survey survey(const std::vector<ListItem> &items) const;
    void entry(const ListItem &item);
    void refused(const ListItem &item, std::vector<std::string> &refusals);
    void picture(const ListEntry &e, const std::vector<uint8_t> &data);

    const std::vector<SheetFile> &firmware_;
    const SheetFile &list_;
    std::string out_;
    std::vector<uint8_t> bmp_;
};

// What the head tells and what the page can take at most: every character
// escaped, every picture in base64. In 64 bits no sum wraps: at most 2^32
// lines of at most 2^32 bytes.
Page::Survey Page::survey(const std::vector<ListItem> &items) const {
    constexpr uint64_t markup = 1024, escaped = 6; // "&quot;" for '"'
    Survey s = {markup + escaped * list_.path.size(), 0, 0, 0};
    for (const SheetFile &f : firmware_)
        s.bound += 2 * escaped * f.path.size();
    for (const ListItem &item : items) {
        s.bound += markup + escaped * item.size;
        if (item.kind != listEntry) {
            s.refused += item.kind != listComment;
            continue;
        }
        s.entries++;
        const ListEntry &e = item.entry;
        bool read = true;
        for (const SheetFile &f : firmware_) {
            s.bound += markup + escaped * (f.path.size() + listNameMax);
            if (pictureState(e.address, e.width, e.height, f.data->size()) == pictureRead)
                s.bound +=
                    (sheetBmpHeaderSize + uint64_t((2 * e.width + 3) & ~3u) * e.height + 2) / 3 * 4;
            else
                read = false;
        }
        s.differ += firmware_.size() > 1 && read &&
                    memcmp(firmware_[0].data->data() + e.address,
                           firmware_[1].data->data() + e.address, size_t(e.width) * e.height * 2);
    }
    return s;
}

bool Page::build(std::string &page, std::vector<std::string> &refusals, uint64_t &bound) {
    const std::vector<uint8_t> &list = *list_.data;
    const std::vector<ListItem> items = scanList(list.data(), list.size());
    const Survey s = survey(items);
    bound = s.bound;
    if (bound > sheetPageMax)
        return false;
    // Reserving it all spares the copies of a growing string.
    out_.reserve(size_t(bound));
    std::string files = pageText(firmware_[0].path);
    if (firmware_.size() > 1)
        files += " beside " + pageText(firmware_[1].path);
    std::string counts = plural(s.entries, "entry", "entries");
    if (s.refused > 0)
        counts += ", " + plural(s.refused, "refused line", "refused lines");
    if (firmware_.size() > 1)
        counts += ", " + format("%u differ", s.differ);
    out_ += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
            files + "</title>\n" + style() + "</head>\n<body>\n<h1>" + files +
            "</h1>\n<p class=\"summary\">The list " + pageText(list_.path) + ": " + counts +
            "; pictures at twice their size.</p>\n<main>\n";
    for (const ListItem &item : items) {
        if (item.kind == listEntry)
            entry(item);
        else if (item.kind != listComment)
            refused(item, refusals);
    }
    out_ += "</main>\n</body>\n</html>\n";
    page = std::move(out_);
    return true;
}

void Page::refused(const ListItem &item, std::vector<std::string> &refusals) {
    const std::string why = listRefusal(item.kind);
    refusals.push_back(escapeControls(list_.path) + format(":%u: ", item.number) + why);
    out_ += format("<p class=\"refused\" id=\"line-%u\">line %u: ", item.number, item.number) +
            why + "</p>\n";
}

void Page::picture(const ListEntry &e, const std::vector<uint8_t> &data) {
    bmp_.clear();
    appendSheetBmp(bmp_, data.data() + e.address, e.width, e.height);
    out_ += "<img src=\"data:image/bmp;base64,";
    appendBase64(out_, bmp_.data(), bmp_.size());
    out_ += format("\" width=\"%u\" height=\"%u\" alt=\"", 2 * e.width, 2 * e.height) +
            pageText(e.name) + "\">";
}

void Page::entry(const ListItem &item) {
    const ListEntry &e = item.entry;
    const bool two = firmware_.size() > 1;
    PictureState states[2] = {};
    for (size_t i = 0; i < firmware_.size(); i++)
        states[i] = pictureState(e.address, e.width, e.height, firmware_[i].data->size());
    std::string marks;
    if (states[0] == pictureTooLarge || states[0] == pictureEmpty)
        marks += std::string("<div class=\"state\">") + stateText(states[0]) + "</div>";
    if (!inKvpushWindow(e.address))
        marks += "<div class=\"state\">outside the kvpush window</div>";
    bool differs = false;
    if (two && states[0] == pictureRead && states[1] == pictureRead) {
        const Difference d = compare(firmware_[0].data->data() + e.address,
                                     firmware_[1].data->data() + e.address, e.width * e.height);
        differs = d.colour + d.bit15 > 0;
        if (d.colour > 0)
            marks +=
                "<div class=\"diff\">differs: " + plural(d.colour, "pixel", "pixels") + "</div>";
        else if (d.bit15 > 0)
            marks += "<div class=\"diff\">differs in bit 15 only: " +
                     plural(d.bit15, "pixel", "pixels") + "</div>";
    }

    out_ += std::string("<figure class=\"entry") + (differs ? " differs" : "") +
            format("\" id=\"line-%u\">\n", item.number);
    if (states[0] == pictureRead || states[0] == picturePastEnd) {
        out_ += "<div class=\"pics\">";
        for (size_t i = 0; i < firmware_.size(); i++) {
            out_ += two ? "<div><div class=\"file\">" + pageText(firmware_[i].path) + "</div>"
                        : "<div>";
            if (states[i] == pictureRead)
                picture(e, *firmware_[i].data);
            else
                out_ += std::string("<div class=\"state\">") + stateText(states[i]) + "</div>";
            out_ += "</div>";
        }
        out_ += "</div>\n";
    }
    out_ += format("<figcaption><div>line %u: <b class=\"name\">", item.number) + pageText(e.name) +
            "</b></div>" + format("<div>0x%08X, ", e.address) + size(e) + "</div>";
    const std::string note = entryNote(list_.data->data() + item.start, item.size);
    if (!note.empty())
        out_ += "<div class=\"note\">" + pageText(note) + "</div>";
    out_ += marks + "</figcaption>\n</figure>\n";
}

} // namespace

bool sheetPage(const std::vector<SheetFile> &firmware, const SheetFile &list, std::string &page,
               std::vector<std::string> &refusals, uint64_t &bound) {
    return Page(firmware, list).build(page, refusals, bound);
}
