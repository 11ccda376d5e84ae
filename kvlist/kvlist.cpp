// kvlist VERB OPERANDS: the verbs that make, show, mend, move and check list files.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli.h"
#include "verbs.h"

namespace {

struct Verb {
    const char *name;
    int minOperands, maxOperands;
    int (*run)(int, char **);
    int failed; // the status of a run that could not do its work
    const char *operands, *about;
};

const Verb verbs[] = {
    {"find", 1, 3, runFind, statusFailed, "FIRMWARE [FIRST LAST]",
     "    Print a list file of the pictures found in FIRMWARE, in offset order;\n"
     "    with FIRST and LAST (hexadecimal) only those that start from FIRST to LAST.\n"},
    {"sheet", 2, 3, runSheet, statusFailed, "FIRMWARE LIST [OTHER_FIRMWARE]",
     "    Print one HTML page showing every entry of LIST as its picture; with\n"
     "    OTHER_FIRMWARE, both files side by side, the entries that differ marked.\n"},
    {"view", 1, 4, runView, statusFailed, "FIRMWARE [LIST] [FIRST LAST]",
     "    Print one HTML page that shows FIRMWARE's bytes as pixels and edits LIST\n"
     "    over them; with FIRST and LAST (hexadecimal) only the bytes from FIRST to\n"
     "    LAST and the 40960 after it.\n"},
    {"move", 3, 3, runMove, statusFailed, "OLD_FIRMWARE LIST NEW_FIRMWARE",
     "    Print LIST carried over to NEW_FIRMWARE: every picture found there gets\n"
     "    its new offset; one line per entry on standard error says what happened.\n"},
    {"check", 3, 3, runCheck, statusNotChecked, "ORIGINAL EDITED LIST",
     "    Say whether EDITED differs from ORIGINAL only inside the pictures of\n"
     "    LIST that kvpush may write.\n"},
};

std::string usage(const Verb *only) {
    std::string out =
        only ? "" : "usage: kvlist VERB OPERANDS\n       kvlist --help | --version\n\n";
    for (const Verb &v : verbs)
        if (!only || only == &v)
            out += std::string("kvlist ") + v.name + " " + v.operands + "\n" + v.about;
    if (!only)
        out += "\nkvlist VERB --help shows one verb. The products go to standard output,\n"
               "messages to standard error. Status: 0 done, 1 failed, 2 usage error.\n";
    return out;
}

int printed(const std::string &text) { return writeOutput(text) ? statusOk : statusFailed; }

const Verb *findVerb(const char *name) {
    for (const Verb &v : verbs)
        if (strcmp(v.name, name) == 0)
            return &v;
    return nullptr;
}

bool isHelp(const char *arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

} // namespace

int main(int argc, char **argv) {
    setUpStreams();
    // Standard error onto a file named here (2>> pictures.lst) would put
    // messages into what the run reads: nothing is said, nothing is done.
    if (stderrIsOneOf(argv + 1, argc - 1)) {
        const Verb *verb = argc >= 2 ? findVerb(argv[1]) : nullptr;
        return verb ? verb->failed : statusUsage;
    }
    if (argc < 2) {
        fputs(usage(nullptr).c_str(), stderr);
        return statusUsage;
    }
    if (isHelp(argv[1]))
        return printed(usage(nullptr));
    if (strcmp(argv[1], "--version") == 0)
        return printed("kvlist " KV_VERSION "\n");
    const Verb *verb = findVerb(argv[1]);
    if (!verb) {
        complain("unknown verb '%s' (kvlist --help lists them)", argv[1]);
        return statusUsage;
    }
    const int operands = argc - 2;
    if (operands >= 1 && isHelp(argv[2]))
        return printed(usage(verb));
    // find takes one operand or three: FIRST goes with LAST.
    if (operands < verb->minOperands || operands > verb->maxOperands ||
        (verb->run == runFind && operands == 2)) {
        complain("usage: kvlist %s %s", verb->name, verb->operands);
        return statusUsage;
    }
    return verb->run(operands, argv + 2);
}
