#include "view.h"

#include "assets.h"

#include <cstring>
#include <string_view>

#include "listfile.h"
#include "sheet.h"
#include "text.h"

ViewRangeCheck viewRange(size_t fileSize, bool ranged, uint32_t first, uint32_t last,
                         ViewRange &range) {
    uint64_t start = 0, end = fileSize;
    if (ranged) {
        if (first >= fileSize)
            return viewRangePastEnd;
        start = first;
        end = uint64_t(last) + viewPastLast < end ? uint64_t(last) + viewPastLast : end;
    }
    if (end - start > viewBytesMax)
        return viewRangeTooLarge;
    range = {uint32_t(start), uint32_t(end - start)};
    return viewRangeOk;
}

void appendJsonBytes(std::string &out, const uint8_t *data, size_t size) {
    out += '"';
    for (size_t i = 0; i < size; i++) {
        const uint8_t c = data[i];
        if (c >= 0x20 && c < 0x7F && !strchr("\"\\<>&'", c))
            out += char(c);
        else
            out += format("\\u%04X", c);
    }
    out += '"';
}

namespace {

void appendJsonText(std::string &out, const std::string &text) {
    appendJsonBytes(out, reinterpret_cast<const uint8_t *>(text.data()), text.size());
}

// The bytes of a line end: 2 for CR LF, 1 for LF, 0 for a last line without one.
unsigned lineEndSize(const uint8_t *line, size_t size) {
    if (size == 0 || line[size - 1] != '\n')
        return 0;
    return size >= 2 && line[size - 2] == '\r' ? 2 : 1;
}

class Page {
  public:
    Page(const ViewFiles &files) : files_(files) {}
    ViewWritten build(const ViewSink &sink, std::vector<std::string> &refusals, uint64_t &bound);

  private:
    uint64_t survey() const;
    void data(std::vector<std::string> &refusals);
    void line(const ListItem &item, std::vector<std::string> &refusals);
    bool bytes(const ViewSink &sink);

    const ViewFiles &files_;
    std::vector<ListItem> items_;
    std::string out_;
};

// What the page can take at most: the template, its files and the data's own
// fields, every byte of a name or a path escaped, the bytes and the list in
// base64. In 64 bits no sum wraps: at most 2^32 lines of at most 2^32 bytes.
uint64_t Page::survey() const {
    constexpr uint64_t markup = 1024, escaped = 6, perLine = 128 + escaped * listNameMax;
    uint64_t bound = markup + escaped * (files_.firmwarePath.size() + files_.listPath.size()) +
                     (uint64_t(files_.range.size) + 2) / 3 * 4;
    for (size_t i = 0; i < pageAssetCount; i++)
        bound += pageAssets[i].size;
    if (files_.list)
        bound += (uint64_t(files_.list->size()) + 2) / 3 * 4;
    for (const ListItem &item : items_)
        bound += perLine + escaped * item.size;
    return bound;
}

// The list as the page gets it, one array for each line: its kind (0 comment,
// 1 entry, 2 refused), where its bytes lie in the file, and how many of them
// end it; then an entry's fields, its name, where the text after its name
// starts in the line (-1 when the line takes fields from the entry before)
// and find's note; or a refused line's refusal.
void Page::line(const ListItem &item, std::vector<std::string> &refusals) {
    const uint8_t *bytes = files_.list->data() + item.start;
    const int kind = item.kind == listEntry ? 1 : item.kind == listComment ? 0 : 2;
    out_ += format("[%d,%llu,%llu,%u", kind, static_cast<unsigned long long>(item.start),
                   static_cast<unsigned long long>(item.size), lineEndSize(bytes, item.size));
    if (kind == 1) {
        const ListEntry &e = item.entry;
        out_ += format(",%u,%d,%d,", e.address, int32_t(e.width), int32_t(e.height));
        appendJsonText(out_, e.name);
        ListLineText text;
        takeListLine(reinterpret_cast<const char *>(bytes), item.size, text);
        out_ += format(",%d,", listNameEnd(text));
        appendJsonText(out_, entryNote(bytes, item.size));
    } else if (kind == 2) {
        const char *why = listRefusal(item.kind);
        refusals.push_back(escapeControls(files_.listPath) + format(":%u: ", item.number) + why);
        out_ += ",";
        appendJsonText(out_, why);
    }
    out_ += "]";
}

void Page::data(std::vector<std::string> &refusals) {
    out_ += "{\"firmware\":";
    appendJsonText(out_, files_.firmwarePath);
    out_ += ",\"list\":";
    if (files_.list)
        appendJsonText(out_, files_.listPath);
    else
        out_ += "null";
    const ViewRange &r = files_.range;
    out_ += format(",\"fileSize\":%llu,\"first\":%u,\"held\":%u,\"range\":",
                   static_cast<unsigned long long>(files_.firmware->size()), r.first, r.size);
    out_ += files_.ranged ? format("[%u,%u]", files_.first, files_.last) : "null";
    out_ +=
        format(",\"window\":[%u,%u],\"maxWidth\":%u,\"maxHeight\":%u,\"maxPixels\":%u,"
               "\"nameMax\":%d,\"pastLast\":%u",
               windowFirst, windowLast, maxWidth, maxHeight, maxPixels, listNameMax, viewPastLast);
    const std::vector<uint8_t> empty;
    const std::vector<uint8_t> &list = files_.list ? *files_.list : empty;
    out_ += format(",\"bom\":%llu,\"listBytes\":\"",
                   static_cast<unsigned long long>(listBomSize(list.data(), list.size())));
    appendBase64(out_, list.data(), list.size());
    out_ += "\",\"lines\":[";
    for (size_t i = 0; i < items_.size(); i++) {
        out_ += i ? ",\n" : "\n";
        line(items_[i], refusals);
    }
    out_ += "]}";
}

// The firmware's bytes in base64, a piece at a time, after what came before.
bool Page::bytes(const ViewSink &sink) {
    const uint8_t *data = files_.firmware->data() + files_.range.first;
    for (uint32_t done = 0, left = files_.range.size; left > 0;) {
        const uint32_t n = left < viewPieceBytes ? left : viewPieceBytes;
        appendBase64(out_, data + done, n);
        if (!sink(out_))
            return false;
        out_.clear();
        done += n;
        left -= n;
    }
    return true;
}

ViewWritten Page::build(const ViewSink &sink, std::vector<std::string> &refusals, uint64_t &bound) {
    if (files_.list)
        items_ = scanList(files_.list->data(), files_.list->size());
    bound = survey();
    if (bound > viewPageMax)
        return viewTooLarge;
    const PageAsset *html = findPageAsset("view.html");
    const char *text = reinterpret_cast<const char *>(html->data);
    const std::string_view tpl(text, html->size);
    // The template names what goes where: {{data}}, {{bytes}} and the files
    // of the page by their names. A name that is none stays as it stands.
    for (size_t at = 0; at < tpl.size();) {
        const size_t open = tpl.find("{{", at);
        const size_t close = open == tpl.npos ? tpl.npos : tpl.find("}}", open);
        if (close == tpl.npos) {
            out_.append(text + at, tpl.size() - at);
            break;
        }
        out_.append(text + at, open - at);
        const std::string name(tpl.substr(open + 2, close - open - 2));
        at = close + 2;
        if (name == "data") {
            data(refusals);
        } else if (name == "bytes") {
            if (!bytes(sink))
                return viewWriteFailed;
        } else if (const PageAsset *a = findPageAsset(name.c_str())) {
            out_.append(reinterpret_cast<const char *>(a->data), a->size);
        } else {
            out_.append(text + open, at - open);
        }
    }
    return sink(out_) ? viewWritten : viewWriteFailed;
}

} // namespace

ViewWritten writeViewPage(const ViewFiles &files, const ViewSink &sink,
                          std::vector<std::string> &refusals, uint64_t &bound) {
    return Page(files).build(sink, refusals, bound);
}
