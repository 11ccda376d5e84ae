#include "text.h"

#include <cstdarg>
#include <cstdio>

std::string format(const char *fmt, ...) {
    va_list args, again;
    va_start(args, fmt);
    va_copy(again, args);
    const int n = vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(size_t(n) + 1);
        vsnprintf(&out[0], out.size(), fmt, again);
        out.resize(size_t(n));
    }
    va_end(again);
    return out;
}

std::string plural(uint64_t n, const char *one, const char *many) {
    return format("%llu %s", static_cast<unsigned long long>(n), n == 1 ? one : many);
}

std::string escapeControls(const std::string &name) {
    std::string out;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            out += format("\\x%02X", u);
        else
            out += c;
    }
    return out;
}
