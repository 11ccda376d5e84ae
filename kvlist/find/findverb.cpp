// kvlist find FIRMWARE [FIRST LAST]: a list file of the pictures found.
#include <cinttypes>
#include <string>
#include <vector>

#include "cli.h"
#include "device.h"
#include "find.h"
#include "text.h"
#include "verbs.h"

namespace {

const char *noteWord(Note note) {
    switch (note) {
    case noteSure:
        return "sure";
    case noteLikely:
        return "likely";
    case noteUnsure:
        break;
    }
    return "unsure";
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
        out += format("%" PRIu64 " bytes, offsets 0x00000000 to 0x%08" PRIX64 " scanned\n",
                      uint64_t(size), uint64_t(size) - 1);
    if (ranged)
        out += format("# only candidates starting from 0x%08" PRIX32 " to 0x%08" PRIX32 "\n", first,
                      last);
    out += "# " + plural(found.size(), "candidate", "candidates") +
           "; the note after each says how sure the finder is\n";
    out += "# offset     unused width height name\n";
    for (const Candidate &c : found)
        out += format("0x%08" PRIX32 " 0x0000 %" PRIu32 " %" PRIu32 " at%08" PRIX32 "  # %s%s\n",
                      c.offset, c.width, c.height, c.offset, noteWord(c.note),
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
