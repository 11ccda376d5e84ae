#pragma once
// What every kvlist verb shares: its operands, its input files read whole,
// its product on standard output and its messages on standard error.
#include <cstdint>
#include <string>
#include <vector>

// 0 done, 1 failed, 2 a usage error. check answers as cmp does: 1 says the
// files differ, so every failure to check is 2.
enum Status { statusOk = 0, statusFailed = 1, statusUsage = 2, statusNotChecked = 2 };

// Call first: closed standard descriptors get the null device (and the
// run remembers which), standard output becomes a raw byte stream.
void setUpStreams();

// "kvlist: " and the message, as one line on standard error.
void complain(const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A hexadecimal operand as kvpull takes an offset: hex digits, an optional
// 0x, nothing else, at most 32 bits. False after a complaint (a usage error).
bool parseHexOperand(const char *text, uint32_t &value);

// True, saying nothing, when standard error is one of these files: a message
// would land in what the run reads. Call it before anything is read.
bool stderrIsOneOf(char *const *paths, int n);

// Whether two names are one file (the same name, a link, /proc/self/fd/...).
bool sameFile(const char *a, const char *b);

// A whole input file (firmware or list): a file on disk to the length it
// had when opened, a pipe or FIFO to its end. False after a complaint when
// it is missing, unreadable, a directory or longer than 4 GiB. Remembers the
// file, so that standard output onto it can be refused.
bool readInput(const char *path, std::vector<uint8_t> &data);

// Reads n input files whole, refusing an empty one ("PATH: empty file") and
// standard output onto any of them; false after a complaint.
bool readFilledInputs(char **paths, std::vector<uint8_t> *const files[], int n);

// True, after a complaint, when standard output is one of the inputs read so
// far: writing there would destroy what the run reads.
bool stdoutIsAnInput();

// Writes the product to standard output and flushes it; false after a
// complaint when it could not be written whole (a full disk, a closed pipe,
// standard output closed when the run started).
bool writeOutput(const std::string &text);
