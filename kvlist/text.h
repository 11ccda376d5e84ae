#pragma once
// Text as kvlist prints it: formatted whole, whatever its length, counts
// with their words, and names made safe to print.
#include <cstdint>
#include <string>

// printf into a string of any length.
std::string format(const char *fmt, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// "1 picture", "2 pictures".
std::string plural(uint64_t n, const char *one, const char *many);

// A name as it may stand in a comment, a message or a page: control
// characters as \xHH, so that it cannot start a line of its own.
std::string escapeControls(const std::string &name);
