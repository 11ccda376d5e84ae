// kvlist move OLD_FIRMWARE LIST NEW_FIRMWARE: the list carried over to NEW_FIRMWARE.
#include <cstdio>
#include <vector>

#include "cli.h"
#include "move.h"
#include "verbs.h"

int runMove(int, char **argv) {
    std::vector<uint8_t> old, list, now;
    std::vector<uint8_t> *const files[] = {&old, &list, &now};
    if (!readFilledInputs(argv, files, 3))
        return statusFailed;
    const Moved m =
        moveList(old.data(), old.size(), list.data(), list.size(), now.data(), now.size());
    const bool written = writeOutput(m.list);
    for (const MoveReport &r : m.entries)
        fprintf(stderr, "%s\n", moveReportLine(r).c_str());
    fprintf(stderr, "%s\n", moveSummary(m.counts).c_str());
    return written && m.counts[moveNotFound] == 0 && m.counts[moveRefused] == 0 ? statusOk
                                                                                : statusFailed;
}
