#pragma once
// The list file both tools read: one picture a line,
//   0x<offset> 0x<ignored> <width> <height> <name>
// and name.bmp is the picture's BMP file.
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int listLineSize = 256; // the characters of a line that are scanned, and a NUL
constexpr int listNameMax = 127;
constexpr int listPathSize = listNameMax + 5; // name + ".bmp" + NUL

// The scanned text of one line: its first listLineSize - 1 characters, up to
// a NUL; the rest of a longer line is read and passed over. A CR before the
// LF is dropped, so CR LF lists read exactly like LF lists.
struct ListLineText {
    char text[listLineSize];
    int length;
    bool stopped; // a NUL ended the text
    bool cut;     // the text was cut where a word went on
    int seen;     // bytes taken, counted up to listLineSize
};

void startListLine(ListLineText &line);
// Takes the line's next byte; true once it was the line's LF.
bool addListByte(ListLineText &line, unsigned char c);

// The bytes of a UTF-8 byte order mark at the start of a list file (0 or 3),
// skipped: the first line starts after them.
size_t listBomSize(const uint8_t *data, size_t size);

// Splits the next line off a list held in memory: returns how many bytes it
// spans, line end included (0 only when size is 0). The caller skips a byte
// order mark at the start of the file.
size_t takeListLine(const char *data, size_t size, ListLineText &line);

// What one entry names, and what a line that leaves out fields takes over.
struct ListEntry {
    uint32_t address, width, height;
    char name[listNameMax + 1]; // empty until an entry supplies one
};

// What carries from one line to the next.
struct ListScan {
    ListEntry entry;
    bool refused; // since the last line that gave all five fields, one was refused
};

enum ListLine { listEntry, listComment, listNameTooLong, listNoName, listIncomplete };

// Scans one line into scan.entry: fields that a line leaves out at its end
// keep their values from the entry before. A line that is refused changes
// nothing of the entry.
ListLine scanListLine(const ListLineText &line, ListScan &scan);

// Where the name of a line that gives all five fields ends, counted from the
// line's start: what follows it is no field (find's note, say). -1 for a
// comment or a line with fewer fields.
int listNameEnd(const ListLineText &line);

// The line each refused kind prints, or nullptr for an entry or a comment.
const char *listRefusal(ListLine kind);

// The name of the current list entry, kept with address, width and height
// from one line to the next during a list run.
extern char listName[listNameMax + 1];

enum ListRun { listOpenFailed, listDone, listStopped };

// Runs entry(firmware, "name.bmp") for every entry of the list file, in file
// order, until an entry returns false (listStopped); refused lines get one
// line each and are passed over. Only the bytes the file held when it was
// opened are read. The list file is closed in every case but listOpenFailed.
ListRun runList(const char *listPath, FILE *firmware, bool (*entry)(FILE *, const char *));
