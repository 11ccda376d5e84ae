// The view's pure parts: the range of bytes a page holds, names as JSON, and
// the page put together from its files, the list as kvlist read it and the bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets.h"
#include "sheet.h"
#include "view.h"

namespace {

constexpr uint64_t MiB = 1 << 20;

TEST(ViewRange, WholeFileOrFirstToLastAndAPictureMore) {
    const struct {
        uint64_t size;
        bool ranged;
        uint32_t first, last;
        ViewRangeCheck check;
        uint32_t heldFirst, heldSize;
    } rows[] = {
        {1, false, 0, 0, viewRangeOk, 0, 1},
        {64 * MiB, false, 0, 0, viewRangeOk, 0, 64 * MiB},
        {64 * MiB + 1, false, 0, 0, viewRangeTooLarge, 0, 0},
        {MiB, true, 0x100, 0x200, viewRangeOk, 0x100, 0x100 + 40960},
        {0x1000, true, 0x10, 0x800, viewRangeOk, 0x10, 0x1000 - 0x10}, // cut at the end
        {0x1000, true, 0xFFF, 0xFFF, viewRangeOk, 0xFFF, 1},
        {0x1000, true, 0x1000, 0x1000, viewRangePastEnd, 0, 0},
        {0x1000, true, 0x2000, 0xFFFFFFFF, viewRangePastEnd, 0, 0},
        {100 * MiB, true, 0, 64 * MiB - 40960, viewRangeOk, 0, 64 * MiB},
        {100 * MiB, true, 1, 64 * MiB - 40960 + 1, viewRangeOk, 1, 64 * MiB},
        {100 * MiB, true, 0, 64 * MiB - 40959, viewRangeTooLarge, 0, 0},
        // LAST + 40960 past 2^32 neither wraps nor runs past the file.
        {0xFFFFFFFF, true, 0xFFFFF000, 0xFFFFFFFF, viewRangeOk, 0xFFFFF000, 0xFFF},
    };
    for (const auto &r : rows) {
        ViewRange range = {0, 0};
        EXPECT_EQ(viewRange(size_t(r.size), r.ranged, r.first, r.last, range), r.check)
            << r.size << " " << r.first << " " << r.last;
        EXPECT_EQ(range.first, r.heldFirst) << r.size << " " << r.first;
        EXPECT_EQ(range.size, r.heldSize) << r.size << " " << r.first;
    }
}

TEST(JsonBytes, PrintableAsciiAloneStandsAsItself) {
    const struct {
        std::string in;
        const char *out;
    } rows[] = {
        {"", R"("")"},
        {"plain_name-1.x", R"("plain_name-1.x")"},
        {"a\"b\\c", R"("a\u0022b\u005Cc")"},
        {"</script><!--&'", R"("\u003C/script\u003E\u003C!--\u0026\u0027")"},
        {std::string("\0\x1F\x7F\x80\xFF", 5), R"("\u0000\u001F\u007F\u0080\u00FF")"},
        {"\xE2\x80\xA8\xC3\xA9", R"("\u00E2\u0080\u00A8\u00C3\u00A9")"}, // U+2028, e acute
    };
    for (const auto &r : rows) {
        std::string out = "x";
        appendJsonBytes(out, reinterpret_cast<const uint8_t *>(r.in.data()), r.in.size());
        EXPECT_EQ(out, std::string("x") + r.out) << r.out;
    }
}

std::string build(const std::vector<uint8_t> &firmware, const std::vector<uint8_t> *list,
                  bool ranged, uint32_t first, uint32_t last, std::vector<std::string> &refusals) {
    ViewFiles files = {"f<1>.bin", &firmware, {0, 0}, ranged, first, last, "l&1.lst", list};
    EXPECT_EQ(viewRange(firmware.size(), ranged, first, last, files.range), viewRangeOk);
    std::string page;
    uint64_t bound = 0;
    const ViewSink keep = [&](const std::string &piece) {
        page += piece;
        return true;
    };
    EXPECT_EQ(writeViewPage(files, keep, refusals, bound), viewWritten);
    EXPECT_LE(page.size(), bound);
    return page;
}

std::string between(const std::string &page, const std::string &open, const std::string &close) {
    const size_t a = page.find(open);
    const size_t b = a == std::string::npos ? a : page.find(close, a + open.size());
    return b == std::string::npos ? "(missing)" : page.substr(a + open.size(), b - a - open.size());
}

TEST(ViewPage, TemplateFilesListAndBytes) {
    std::vector<uint8_t> firmware(600);
    for (size_t i = 0; i < firmware.size(); i++)
        firmware[i] = uint8_t(i * 7 + 3);
    const std::string text = "\xEF\xBB\xBF# c\r\n"
                             "0x00000010 0x0000 3 2 a<b>  # sure\r\n"
                             "0x00000100\r\n"
                             "0X1 x\r\n"
                             "\r\n"
                             "0x00000020 0x0000 -3 2 \xFF";
    const std::vector<uint8_t> list(text.begin(), text.end());
    std::vector<std::string> refusals;
    const std::string page = build(firmware, &list, true, 0x100, 0x101, refusals);

    EXPECT_EQ(page.compare(0, 16, "<!DOCTYPE html>\n"), 0);
    EXPECT_EQ(page.find("{{"), std::string::npos);
    // Every file of the view's page is in it whole, once.
    for (size_t i = 0; i < pageAssetCount; i++) {
        const std::string name = pageAssets[i].name;
        if (name == "view.html" || name == "sheet.css") // the template; the sheet's style
            continue;
        const std::string file(reinterpret_cast<const char *>(pageAssets[i].data),
                               pageAssets[i].size);
        EXPECT_GT(file.size(), 100u) << pageAssets[i].name;
        const size_t at = page.find(file);
        EXPECT_NE(at, std::string::npos) << pageAssets[i].name;
        EXPECT_EQ(page.find(file, at + 1), std::string::npos) << pageAssets[i].name;
    }
    // Nothing the list holds closes a script: only the page's own three do.
    size_t closes = 0;
    for (size_t at = page.find("</script"); at != std::string::npos;
         at = page.find("</script", at + 1))
        closes++;
    EXPECT_EQ(closes, 3u);
    // From 0x100 to the end of the file: 0x101 + 40960 is past it.
    EXPECT_EQ(between(page, "id=\"kv-bytes\">", "</script>").size(), (344u + 2) / 3 * 4);
    EXPECT_EQ(
        between(page, "id=\"kv-data\">", "</script>"),
        R"({"firmware":"f\u003C1\u003E.bin","list":"l\u00261.lst","fileSize":600,)"
        R"("first":256,"held":344,"range":[256,257],"window":[5562150,10383190],)"
        R"("maxWidth":128,"maxHeight":160,"maxPixels":20480,"nameMax":127,)"
        R"("pastLast":40960,"bom":3,"listBytes":"77u/IyBjDQoweDAwMDAwMDEwIDB4MDAwMCAzIDIgYTxiPiAg)"
        R"(IyBzdXJlDQoweDAwMDAwMTAwDQowWDEgeA0KDQoweDAwMDAwMDIwIDB4MDAwMCAtMyAyIP8=","lines":[)"
        "\n[0,3,5,2],"
        "\n[1,8,36,2,16,3,2,\"a\\u003Cb\\u003E\",26,\"sure\"],"
        "\n[1,44,12,2,256,3,2,\"a\\u003Cb\\u003E\",-1,\"\"],"
        "\n[2,56,7,2,\"list entry incomplete.\"],"
        "\n[2,63,2,2,\"list entry incomplete.\"],"
        "\n[1,65,24,0,32,-3,2,\"\\u00FF\",24,\"\"]]}");
    EXPECT_EQ(refusals, (std::vector<std::string>{"l&1.lst:4: list entry incomplete.",
                                                  "l&1.lst:5: list entry incomplete."}));
}

TEST(ViewPage, WithoutAListAndTooLarge) {
    const std::vector<uint8_t> firmware(3, 0xAB);
    std::vector<std::string> refusals;
    const std::string page = build(firmware, nullptr, false, 0, 0, refusals);
    EXPECT_NE(page.find(R"("list":null,"fileSize":3,"first":0,"held":3,"range":null,)"),
              std::string::npos);
    EXPECT_NE(page.find(R"("bom":0,"listBytes":"","lines":[]})"), std::string::npos);
    EXPECT_NE(page.find("id=\"kv-bytes\">q6ur</script>"), std::string::npos);
    // 310,000 empty lines could take 890 bytes each, more than a page may.
    const std::vector<uint8_t> list(310000, '\n');
    ViewFiles files = {"f", &firmware, {0, 3}, false, 0, 0, "l", &list};
    int pieces = 0;
    const ViewSink count = [&](const std::string &) { return ++pieces > 0; };
    uint64_t bound = 0;
    EXPECT_EQ(writeViewPage(files, count, refusals, bound), viewTooLarge);
    EXPECT_GT(bound, viewPageMax);
    EXPECT_EQ(pieces, 0);
    EXPECT_TRUE(refusals.empty());
}

TEST(ViewPage, BytesInPiecesOfWholeBase64) {
    // Two pieces of bytes and one byte more.
    std::vector<uint8_t> firmware(2 * viewPieceBytes + 1);
    for (size_t i = 0; i < firmware.size(); i++)
        firmware[i] = uint8_t(i * 13 + (i >> 16));
    ViewFiles files = {"f", &firmware, {0, 0}, false, 0, 0, "", nullptr};
    ASSERT_EQ(viewRange(firmware.size(), false, 0, 0, files.range), viewRangeOk);
    std::vector<std::string> pieces, refusals;
    uint64_t bound = 0;
    const ViewSink keep = [&](const std::string &piece) {
        pieces.push_back(piece);
        return true;
    };
    ASSERT_EQ(writeViewPage(files, keep, refusals, bound), viewWritten);
    // The page up to the bytes with their first piece; the second; the byte left; the page after
    // them.
    ASSERT_EQ(pieces.size(), 4u);
    const std::string open = "id=\"kv-bytes\">";
    const size_t at = pieces[0].find(open);
    ASSERT_NE(at, std::string::npos);
    std::string whole;
    appendBase64(whole, firmware.data(), firmware.size());
    EXPECT_EQ(pieces[0].size() - at - open.size(), viewPieceBytes / 3 * 4);
    EXPECT_EQ(pieces[1].size(), viewPieceBytes / 3 * 4);
    EXPECT_EQ(pieces[0].substr(at + open.size()) + pieces[1] + pieces[2], whole);
    EXPECT_EQ(pieces[3].substr(0, 9), "</script>");
    // A piece that cannot be written is the last one tried.
    int tried = 0;
    const ViewSink failSecond = [&](const std::string &) { return ++tried < 2; };
    EXPECT_EQ(writeViewPage(files, failSecond, refusals, bound), viewWriteFailed);
    EXPECT_EQ(tried, 2);
}

} // namespace
