// kvlist sheet FIRMWARE LIST [OTHER_FIRMWARE]: the list's pictures as one HTML page.
#include <string>
#include <vector>

#include "cli.h"
#include "sheet.h"
#include "text.h"
#include "verbs.h"

int runSheet(int argc, char **argv) {
    std::vector<uint8_t> data[3];
    for (int i = 0; i < argc; i++) {
        if (!readInput(argv[i], data[i]))
            return statusFailed;
        if (i != 1 && data[i].empty()) {
            complain("%s: empty file, no firmware", escapeControls(argv[i]).c_str());
            return statusFailed;
        }
    }
    if (stdoutIsAnInput())
        return statusFailed;
    std::vector<SheetFile> firmware = {{argv[0], &data[0]}};
    if (argc == 3)
        firmware.push_back({argv[2], &data[2]});
    std::string page;
    std::vector<std::string> refusals;
    uint64_t bound = 0;
    if (!sheetPage(firmware, {argv[1], &data[1]}, page, refusals, bound)) {
        complain("the page could take %llu MiB, more than %llu MiB: split the list",
                 static_cast<unsigned long long>(bound >> 20),
                 static_cast<unsigned long long>(sheetPageMax >> 20));
        return statusFailed;
    }
    for (const std::string &line : refusals)
        complain("%s", line.c_str());
    return writeOutput(page) ? statusOk : statusFailed;
}
