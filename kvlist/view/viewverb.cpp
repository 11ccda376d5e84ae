// kvlist view FIRMWARE [LIST] [FIRST LAST]: the firmware's bytes as pixels and
// the list over them, as one HTML page that edits the list.
#include <cinttypes>
#include <string>
#include <vector>

#include "cli.h"
#include "text.h"
#include "verbs.h"
#include "view.h"

namespace {

// FIRMWARE LIST FIRST LAST, FIRMWARE FIRST LAST, FIRMWARE LIST, FIRMWARE.
bool takeOperands(int argc, char **argv, ViewFiles &files) {
    files.ranged = argc >= 3;
    if (files.ranged) {
        if (!parseHexOperand(argv[argc - 2], files.first) ||
            !parseHexOperand(argv[argc - 1], files.last))
            return false;
        if (files.first > files.last) {
            complain("view: FIRST 0x%08" PRIX32 " is beyond LAST 0x%08" PRIX32, files.first,
                     files.last);
            return false;
        }
    }
    return true;
}

bool checkRange(const char *path, ViewFiles &files) {
    const uint64_t size = files.firmware->size();
    switch (viewRange(size, files.ranged, files.first, files.last, files.range)) {
    case viewRangeOk:
        return true;
    case viewRangePastEnd:
        complain("view: FIRST 0x%08" PRIX32 " lies past the end of %s (%" PRIu64 " bytes)",
                 files.first, escapeControls(path).c_str(), size);
        return false;
    case viewRangeTooLarge:
        if (files.ranged)
            complain("view: 0x%08" PRIX32 " to 0x%08" PRIX32 " and the %" PRIu32
                     " bytes after it are more than a page holds "
                     "(64 MiB): bring FIRST and LAST closer",
                     files.first, files.last, viewPastLast);
        else
            complain("%s: %" PRIu64 " bytes, more than a page holds (64 MiB): view a part "
                     "with FIRST LAST, as in kvlist view %s LIST 54DF26 9E6F56",
                     escapeControls(path).c_str(), size, escapeControls(path).c_str());
        return false;
    }
    return false;
}

} // namespace

int runView(int argc, char **argv) {
    ViewFiles files = {argv[0], nullptr, {0, 0}, false, 0, 0, "", nullptr};
    if (!takeOperands(argc, argv, files))
        return statusUsage;
    std::vector<uint8_t> firmware, list;
    if (!readInput(argv[0], firmware))
        return statusFailed;
    if (firmware.empty()) {
        complain("%s: empty file, no firmware", escapeControls(argv[0]).c_str());
        return statusFailed;
    }
    files.firmware = &firmware;
    if (argc == 2 || argc == 4) {
        if (!readInput(argv[1], list))
            return statusFailed;
        files.listPath = argv[1];
        files.list = &list;
    }
    if (stdoutIsAnInput() || !checkRange(argv[0], files))
        return statusFailed;
    std::vector<std::string> refusals;
    uint64_t bound = 0;
    bool told = false; // the refused lines, said before the page
    const ViewSink write = [&](const std::string &piece) {
        if (!told) {
            told = true;
            for (const std::string &line : refusals)
                complain("%s", line.c_str());
        }
        return writeOutput(piece);
    };
    switch (writeViewPage(files, write, refusals, bound)) {
    case viewWritten:
        return statusOk;
    case viewTooLarge:
        complain("the page could take %" PRIu64 " MiB, more than %" PRIu64 " MiB: split the list",
                 bound >> 20, viewPageMax >> 20);
        return statusFailed;
    case viewWriteFailed:
        return statusFailed;
    }
    return statusFailed;
}
