#pragma once
// The numbers that name a picture on the command line, and the line that
// shows them for every picture either tool handles.
#include <cstdint>

// Scan like "%x" and "%d" (leading blanks, a sign, for hex an optional 0x,
// digits up to the first other character; false and value unchanged when
// no digit is found), but a number too large saturates instead of being
// undefined: hex of 2^32 or more is 0xFFFFFFFF whatever its sign, and
// decimal beyond int is INT_MAX, or INT_MIN with a minus sign.
bool scanHex(const char *text, uint32_t &value);
bool scanDecimal(const char *text, int &value);

// The value of a hexadecimal digit, or -1 for any other character.
int hexDigit(char c);

// Single-image mode: offset (hex), width and height (decimal) into the
// current picture. A number that does not scan leaves its value; oversize
// draws a warning.
void scanPictureArgs(const char *offset, const char *w, const char *h);

// "address:..., width:..., height:..., output:<file>" for the current picture.
void printAddressLine(const char *file);

// Standard output that is a file the run reads (">> fw.bin") would take the
// run's messages into it. True, after one line on standard error (none when
// standard error is that file too), when standard output is the firmware
// file or the list file; listPath may be nullptr.
bool stdoutIsInput(const char *firmwarePath, const char *listPath);
