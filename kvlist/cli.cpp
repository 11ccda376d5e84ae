#include "cli.h"

#include <cstdarg>
#include <cstdio>

#include "args.h"
#include "os.h"
#include "text.h"

namespace {
std::vector<FileId> inputs; // the identities of the files read, for stdoutIsAnInput
constexpr uint64_t maxInput = uint64_t(1) << 32; // list offsets are 32-bit
constexpr size_t pipeChunk = size_t(1) << 16;
unsigned closedStreams; // standard descriptors the run found closed, bit 1 << fd

bool wasClosed(int fd) { return closedStreams >> fd & 1; }

// A file that is no regular file (a pipe, a FIFO, a terminal) is read to its end.
bool readToEnd(FILE *file, std::vector<uint8_t> &data, bool &tooLarge) {
    for (;;) {
        const size_t at = data.size();
        if (at > maxInput) {
            tooLarge = true;
            return false;
        }
        data.resize(at + pipeChunk);
        const size_t got = fread(data.data() + at, 1, pipeChunk, file);
        data.resize(at + got);
        if (got < pipeChunk)
            return !ferror(file);
    }
}
} // namespace

void setUpStreams() {
    closedStreams = guardStandardStreams();
    rawStandardOutput();
}

void complain(const char *format, ...) {
    fputs("kvlist: ", stderr);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

bool parseHexOperand(const char *text, uint32_t &value) {
    const char *p = text;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2;
    uint64_t v = 0;
    const char *digits = p;
    for (; *p; p++) {
        const int d = hexDigit(*p);
        if (d < 0 || (v = v * 16 + uint64_t(d)) > 0xFFFFFFFF)
            break;
    }
    if (p == digits || *p) {
        complain("'%s' is no 32-bit hexadecimal offset", escapeControls(text).c_str());
        return false;
    }
    value = uint32_t(v);
    return true;
}

bool stderrIsOneOf(char *const *paths, int n) {
    FileId err, id;
    if (wasClosed(2) || !streamFileId(stderr, err))
        return false;
    for (int i = 0; i < n; i++)
        if (pathFileId(paths[i], id) && id == err)
            return true;
    return false;
}

bool sameFile(const char *a, const char *b) {
    FileId x, y;
    return pathFileId(a, x) && pathFileId(b, y) && x == y;
}

bool readInput(const char *path, std::vector<uint8_t> &data) {
    const std::string shown = escapeControls(path);
    FILE *file = openNamedFile(path, "rb");
    if (!file) {
        complain("%s: cannot open (no such file, no permission, or not a file)", shown.c_str());
        return false;
    }
    FileId id;
    if (streamFileId(file, id))
        inputs.push_back(id);
    // A file on disk is read to the length it had when it was opened.
    uint64_t length = 0;
    bool ok = false, tooLarge = false;
    data.clear();
    if (regularFileSize(file, length)) {
        tooLarge = length > maxInput;
        if (!tooLarge) {
            data.resize(size_t(length));
            ok = fread(data.data(), 1, data.size(), file) == data.size();
        }
    } else {
        ok = readToEnd(file, data, tooLarge);
    }
    fclose(file);
    if (tooLarge)
        complain("%s: larger than 4 GiB, beyond what a list can address", shown.c_str());
    else if (!ok)
        complain("%s: read failed", shown.c_str());
    return ok && !tooLarge;
}

bool readFilledInputs(char **paths, std::vector<uint8_t> *const files[], int n) {
    for (int i = 0; i < n; i++)
        if (!readInput(paths[i], *files[i]))
            return false;
    for (int i = 0; i < n; i++)
        if (files[i]->empty()) {
            complain("%s: empty file", escapeControls(paths[i]).c_str());
            return false;
        }
    return !stdoutIsAnInput();
}

bool stdoutIsAnInput() {
    FileId out;
    if (!streamFileId(stdout, out))
        return false;
    for (const FileId &id : inputs)
        if (id == out) {
            complain("standard output is one of the input files");
            return true;
        }
    return false;
}

bool writeOutput(const std::string &text) {
    if (wasClosed(1)) {
        complain("standard output is closed");
        return false;
    }
    const bool ok =
        fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
    if (!ok)
        complain("write to standard output failed");
    return ok;
}
