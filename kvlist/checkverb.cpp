// kvlist check ORIGINAL EDITED LIST: whether EDITED differs from ORIGINAL only
// where kvpush may write.
#include <string>
#include <vector>

#include "check.h"
#include "cli.h"
#include "text.h"
#include "verbs.h"

int runCheck(int, char **argv) {
    if (sameFile(argv[0], argv[1])) {
        complain("%s and %s are the same file", escapeControls(argv[0]).c_str(),
                 escapeControls(argv[1]).c_str());
        return statusNotChecked;
    }
    std::vector<uint8_t> original, edited, list;
    std::vector<uint8_t> *const files[] = {&original, &edited, &list};
    if (!readFilledInputs(argv, files, 3))
        return statusNotChecked;
    const Checked c =
        checkEdit(original.data(), original.size(), edited.data(), edited.size(), list.data(),
                  list.size(), escapeControls(argv[0]), escapeControls(argv[1]));
    if (!writeOutput(c.report))
        return statusNotChecked;
    for (const std::string &w : c.warnings)
        complain("%s", w.c_str());
    return c.onlyInPictures ? statusOk : statusFailed;
}
