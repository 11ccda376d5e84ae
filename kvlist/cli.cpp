#include "cli.h"

#include <cstdarg>
#include <cstdio>

#include "args.h"
#include "os.h"
#include "text.h"

namespace {
std::vector<FileId> inputs; // the identities of the files read, for stdoutIsAnInput
constexpr uint64_t maxInput = uint64_t(1) << 32; // list offsets are 32-bit
} // namespace

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

bool readInput(const char *path, std::vector<uint8_t> &data) {
    const std::string shown = escapeControls(path);
    FILE *file = openNamedFile(path, "rb");
    if (!file) {
        complain("%s: cannot open (no such file, no permission, or not a file)", shown.c_str());
        return false;
    }
    uint64_t length = 0;
    bool ok = fileLength(file, length) && seekTo(file, 0);
    if (ok && length > maxInput) {
        complain("%s: larger than 4 GiB, beyond what a list can address", shown.c_str());
        fclose(file);
        return false;
    }
    FileId id;
    if (streamFileId(file, id))
        inputs.push_back(id);
    if (ok) {
        data.resize(size_t(length));
        ok = fread(data.data(), 1, data.size(), file) == data.size();
    }
    fclose(file);
    if (!ok)
        complain("%s: read failed", shown.c_str());
    return ok;
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
    const bool ok =
        fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
    if (!ok)
        complain("write to standard output failed");
    return ok;
}
