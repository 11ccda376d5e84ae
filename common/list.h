#pragma once
// The list file both tools read: one picture a line,
//   0x<offset> 0x<ignored> <width> <height> <name>
// and name.bmp is the picture's BMP file.
#include <cstdio>

constexpr int listLineSize = 256; // a longer line goes on as the next line
constexpr int listNameMax = 127;
constexpr int listPathSize = listNameMax + 5; // name + ".bmp" + NUL

// The name of the current list entry; empty until an entry supplies one.
extern char listName[listNameMax + 1];

enum ListLine { listEntry, listComment, listNameTooLong, listNoName };

// Reads up to listLineSize - 1 characters, through the next line end; a CR
// before the LF is dropped, so CR LF lists read exactly like LF lists.
// False at the end of the file.
bool readListLine(FILE *list, char line[listLineSize]);

// Scans one line into address, width, height and listName. Fields that do
// not match keep their values from the previous entry. A line that is
// refused (listNameTooLong, listNoName) changes nothing.
ListLine scanListLine(const char *line);

enum ListRun { listOpenFailed, listDone, listStopped };

// Runs entry(firmware, "name.bmp") for every entry of the list file, in file
// order, until an entry returns false (listStopped); refused lines get one
// line each and are passed over. The list file is closed in every case but
// listOpenFailed.
ListRun runList(const char *listPath, FILE *firmware, bool (*entry)(FILE *, const char *));
