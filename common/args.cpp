#include "args.h"

#include <cctype>
#include <climits>
#include <cstdio>

#include "os.h"
#include "picture.h"

namespace {

// Skips blanks and a sign; true for a minus.
bool skipSign(const char *&p) {
    while (isspace(static_cast<unsigned char>(*p)))
        p++;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    return negative;
}

// The magnitude of the digits at p, capped at cap (cap + base cannot wrap).
bool scanMagnitude(const char *p, uint32_t base, uint64_t cap, uint64_t &magnitude) {
    const auto digit = [base](char c) {
        const int d = hexDigit(c);
        return d >= 0 && uint32_t(d) < base ? d : -1;
    };
    if (digit(*p) < 0)
        return false;
    uint64_t m = 0;
    for (; digit(*p) >= 0; p++)
        if (m <= cap)
            m = m * base + uint64_t(digit(*p));
    magnitude = m > cap ? cap + 1 : m;
    return true;
}

void scanSize(const char *arg, uint32_t &value, uint32_t limit, const char *warning) {
    int v = int(value);
    scanDecimal(arg, v);
    value = uint32_t(v);
    if (value > limit)
        puts(warning);
}

} // namespace

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool scanHex(const char *text, uint32_t &value) {
    const char *p = text;
    const bool negative = skipSign(p);
    // "0x" is a prefix only when a digit follows; otherwise the 0 is the number.
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexDigit(p[2]) >= 0)
        p += 2;
    uint64_t magnitude = 0;
    if (!scanMagnitude(p, 16, 0xFFFFFFFF, magnitude))
        return false;
    if (magnitude > 0xFFFFFFFF)
        value = 0xFFFFFFFF;
    else
        value = negative ? uint32_t(0 - uint32_t(magnitude)) : uint32_t(magnitude);
    return true;
}

bool scanDecimal(const char *text, int &value) {
    const char *p = text;
    const bool negative = skipSign(p);
    uint64_t magnitude = 0;
    if (!scanMagnitude(p, 10, uint64_t(INT_MAX) + 1, magnitude))
        return false;
    if (negative)
        value = magnitude > uint64_t(INT_MAX) ? INT_MIN : -int(magnitude);
    else
        value = magnitude > uint64_t(INT_MAX) ? INT_MAX : int(magnitude);
    return true;
}

void scanPictureArgs(const char *offset, const char *w, const char *h) {
    scanHex(offset, address);
    scanSize(w, width, maxWidth, "parameter error : width");
    scanSize(h, height, maxHeight, "parameter error : height");
}

void printAddressLine(const char *file) {
    printf("address:0x%08X, width:%d, height:%d, output:%s\n", address, int(width), int(height),
           file);
}

bool stdoutIsInput(const char *firmwarePath, const char *listPath) {
    FileId out;
    if (!streamFileId(stdout, out))
        return false;
    const char *const paths[] = {firmwarePath, listPath};
    const char *const lines[] = {"standard output is the firmware file.",
                                 "standard output is the list file."};
    for (int i = 0; i < 2; i++) {
        FileId id, err;
        if (!paths[i] || !pathFileId(paths[i], id) || !(id == out))
            continue;
        if (!streamFileId(stderr, err) || !(err == id))
            fprintf(stderr, "%s\n", lines[i]);
        return true;
    }
    return false;
}
