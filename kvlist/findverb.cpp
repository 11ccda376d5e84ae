// kvlist find FIRMWARE [FIRST LAST]: a list file of the pictures found.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "find.h"

namespace {

const char *sureWord(uint32_t sure) {
    if (sure >= 90)
        return "sure";
    if (sure >= 75)
        return "likely";
    return "unsure";
}

void append(std::string &out, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

void append(std::string &out, const char *format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

std::string findList(const std::string &name, const uint8_t *data, size_t size, bool ranged,
                     uint32_t first, uint32_t last) {
    std::vector<Candidate> found;
    for (const Candidate &c : findPictures(data, size))
        if (!ranged || (c.offset >= first && c.offset <= last))
            found.push_back(c);
    const std::string shown = escapeControls(name);
    std::string out = "# pictures found by kvlist find in " + shown + "\n";
    out += "# " + shown + ": ";
    if (size == 0)
        out += "0 bytes, nothing to scan\n";
    else
        append(out, "%" PRIu64 " bytes, offsets 0x00000000 to 0x%08" PRIX64 " scanned\n",
               uint64_t(size), uint64_t(size) - 1);
    if (ranged)
        append(out, "# only candidates starting from 0x%08" PRIX32 " to 0x%08" PRIX32 "\n", first,
               last);
    append(out, "# %llu candidate%s; the note after each says how sure the finder is\n",
           static_cast<unsigned long long>(found.size()), found.size() == 1 ? "" : "s");
    out += "# offset     unused width height name\n";
    for (const Candidate &c : found)
        append(out, "0x%08" PRIX32 " 0x0000 %" PRIu32 " %" PRIu32 " at%08" PRIX32 "  # %s%s\n",
               c.offset, c.width, c.height, c.offset, sureWord(c.sure),
               inKvpushWindow(c.offset) ? "" : ", outside the kvpush window");
    return out;
}

} // namespace

int runFind(int argc, char **argv) {
    uint32_t first = 0, last = 0xFFFFFFFF;
    const bool ranged = argc == 3;
    if (ranged) {
        if (!parseHexOperand(argv[1], first) || !parseHexOperand(argv[2], last))
            return statusUsage;
        if (first > last) {
            complain("find: FIRST 0x%08" PRIX32 " is beyond LAST 0x%08" PRIX32, first, last);
            return statusUsage;
        }
    }
    std::vector<uint8_t> data;
    if (!readInput(argv[0], data))
        return statusFailed;
    if (stdoutIsAnInput())
        return statusFailed;
    return writeOutput(findList(argv[0], data.data(), data.size(), ranged, first, last))
               ? statusOk
               : statusFailed;
}
