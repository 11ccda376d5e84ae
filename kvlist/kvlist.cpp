// kvlist VERB OPERANDS: the verbs that make, show, mend, move and check list files.
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "os.h"
#include "verbs.h"

namespace {

struct Verb {
    const char *name;
    int minOperands, maxOperands;
    int (*run)(int, char **);
    const char *operands, *about;
};

const Verb verbs[] = {
    {"find", 1, 3, runFind, "FIRMWARE [FIRST LAST]",
     "    Print a list file of the pictures found in FIRMWARE, in offset order;\n"
     "    with FIRST and LAST (hexadecimal) only those that start from FIRST to LAST.\n"},
    {"sheet", 2, 3, runSheet, "FIRMWARE LIST [OTHER_FIRMWARE]",
     "    Print one HTML page showing every entry of LIST as its picture; with\n"
     "    OTHER_FIRMWARE, both files side by side, the entries that differ marked.\n"},
    {"view", 1, 4, runView, "FIRMWARE [LIST] [FIRST LAST]",
     "    Print one HTML page that shows FIRMWARE's bytes as pixels and edits LIST\n"
     "    over them; with FIRST and LAST (hexadecimal) only the bytes from FIRST to\n"
     "    LAST and the 40960 after it.\n"},
    {"move", 3, 3, runMove, "OLD_FIRMWARE LIST NEW_FIRMWARE",
     "    Print LIST carried over to NEW_FIRMWARE: every picture found there gets\n"
     "    its new offset; one line per entry on standard error says what happened.\n"},
    {"check", 3, 3, runCheck, "ORIGINAL EDITED LIST",
     "    Say whether EDITED differs from ORIGINAL only inside the pictures of\n"
     "    LIST that kvpush may write.\n"},
};

void printUsage(FILE *out, const Verb *only) {
    fputs(only ? "" : "usage: kvlist VERB OPERANDS\n       kvlist --help | --version\n\n", out);
    for (const Verb &v : verbs)
        if (!only || only == &v)
            fprintf(out, "kvlist %s %s\n%s", v.name, v.operands, v.about);
    if (!only)
        fputs("\nkvlist VERB --help shows one verb. The products go to standard output,\n"
              "messages to standard error. Status: 0 done, 1 failed, 2 usage error.\n",
              out);
}

const Verb *findVerb(const char *name) {
    for (const Verb &v : verbs)
        if (strcmp(v.name, name) == 0)
            return &v;
    return nullptr;
}

bool isHelp(const char *arg) { return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0; }

} // namespace

int main(int argc, char **argv) {
    guardStandardStreams();
    rawStandardOutput();
    if (argc < 2) {
        printUsage(stderr, nullptr);
        return statusUsage;
    }
    if (isHelp(argv[1])) {
        printUsage(stdout, nullptr);
        return fflush(stdout) == 0 ? statusOk : statusFailed;
    }
    if (strcmp(argv[1], "--version") == 0) {
        puts("kvlist " KV_VERSION);
        return fflush(stdout) == 0 ? statusOk : statusFailed;
    }
    const Verb *verb = findVerb(argv[1]);
    if (!verb) {
        complain("unknown verb '%s' (kvlist --help lists them)", argv[1]);
        return statusUsage;
    }
    const int operands = argc - 2;
    if (operands >= 1 && isHelp(argv[2])) {
        printUsage(stdout, verb);
        return fflush(stdout) == 0 ? statusOk : statusFailed;
    }
    // find takes one operand or three: FIRST goes with LAST.
    if (operands < verb->minOperands || operands > verb->maxOperands ||
        (verb->run == runFind && operands == 2)) {
        complain("usage: kvlist %s %s", verb->name, verb->operands);
        return statusUsage;
    }
    return verb->run(operands, argv + 2);
}
