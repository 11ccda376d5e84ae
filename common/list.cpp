#include "list.h"

#include <cstring>

#include "os.h"
#include "picture.h"

char listName[listNameMax + 1];

void startListLine(ListLineText &line) {
    line.text[0] = '\0';
    line.length = 0;
    line.stopped = false;
    line.cut = false;
    line.seen = 0;
}

bool addListByte(ListLineText &line, unsigned char c) {
    if (c == '\n') {
        // The CR of a CR LF is dropped when it was kept, the byte right before.
        if (line.seen == line.length && line.length > 0 && line.text[line.length - 1] == '\r')
            line.text[--line.length] = '\0';
        return true;
    }
    if (line.seen == line.length && !line.stopped) {
        if (c == '\0') {
            line.stopped = true;
        } else if (line.length < listLineSize - 1) {
            line.text[line.length++] = char(c);
            line.text[line.length] = '\0';
        } else {
            line.cut = c != ' ' && c != '\t' && c != '\r';
        }
    }
    if (line.seen < listLineSize)
        line.seen++;
    return false;
}

size_t listBomSize(const uint8_t *data, size_t size) {
    static const uint8_t bom[] = {0xEF, 0xBB, 0xBF};
    return size >= sizeof bom && memcmp(data, bom, sizeof bom) == 0 ? sizeof bom : 0;
}

size_t takeListLine(const char *data, size_t size, ListLineText &line) {
    startListLine(line);
    for (size_t i = 0; i < size; i++)
        if (addListByte(line, static_cast<unsigned char>(data[i])))
            return i + 1;
    return size;
}

namespace {
// What may follow the last field of a line that leaves out the rest: the line
// end (a CR of a CR LF that the file ends in included) and blanks.
bool onlyBlanks(const char *p) { return strspn(p, " \t\r") == strlen(p); }

// The fields of one line as the pattern reads them; those it does not reach
// keep what the caller put there.
struct Fields {
    unsigned int address, ignored;
    int width, height;
    char name[listNameMax + 2]; // one more than allowed, to see a name too long
    int end[5];                 // where each field that matched ends
    int count;                  // how many matched
};

void scanFields(const char *text, Fields &f) {
    f.count =
        sscanf(text, "0x%08X%n 0x%04X%n %3d%n %3d%n %128s%n", &f.address, &f.end[0], &f.ignored,
               &f.end[1], &f.width, &f.end[2], &f.height, &f.end[3], f.name, &f.end[4]);
    if (f.count < 0)
        f.count = 0;
}
} // namespace

ListLine scanListLine(const ListLineText &line, ListScan &scan) {
    if (line.text[0] == '#')
        return listComment;
    ListEntry &e = scan.entry;
    Fields f = {e.address, 0, int(e.width), int(e.height), "", {0, 0, 0, 0, 0}, 0};
    scanFields(line.text, f);
    if (f.count < 5) {
        // Text the fields stopped at, or a refusal before, leaves the line's
        // meaning open: it must not run with fields of another entry.
        if (!onlyBlanks(line.text + (f.count > 0 ? f.end[f.count - 1] : 0)) || scan.refused) {
            scan.refused = true;
            return listIncomplete;
        }
        if (e.name[0] == '\0')
            return listNoName;
    } else if (strlen(f.name) > size_t(listNameMax) || (line.cut && f.end[4] == line.length)) {
        scan.refused = true;
        return listNameTooLong;
    }
    e.address = f.address;
    e.width = uint32_t(f.width);
    e.height = uint32_t(f.height);
    if (f.count == 5) {
        memcpy(e.name, f.name, sizeof e.name);
        scan.refused = false;
    }
    return listEntry;
}

int listNameEnd(const ListLineText &line) {
    if (line.text[0] == '#')
        return -1;
    Fields f = {0, 0, 0, 0, "", {0, 0, 0, 0, 0}, 0};
    scanFields(line.text, f);
    return f.count == 5 ? f.end[4] : -1;
}

const char *listRefusal(ListLine kind) {
    switch (kind) {
    case listEntry:
    case listComment:
        return nullptr;
    case listNameTooLong:
        return "list entry name too long.";
    case listNoName:
        return "list entry without name.";
    case listIncomplete:
        return "list entry incomplete.";
    }
    return "list entry refused.";
}

namespace {
// The list as the run opened it: bytes appended while it runs (its own log,
// say) are never read as entries.
struct ListFile {
    FILE *file;
    uint64_t left;
    uint8_t held[3]; // the first bytes, fed to the first line but for a byte order mark
    int heldCount, heldNext;
};

int rawByte(ListFile &f) {
    if (f.left == 0)
        return EOF;
    const int c = getc(f.file);
    if (c != EOF)
        f.left--;
    return c;
}

void skipBom(ListFile &f) {
    for (int c; f.heldCount < int(sizeof f.held) && (c = rawByte(f)) != EOF;)
        f.held[f.heldCount++] = uint8_t(c);
    f.heldNext = int(listBomSize(f.held, size_t(f.heldCount)));
}

bool readListLine(ListFile &f, ListLineText &line) {
    startListLine(line);
    bool any = false;
    for (;;) {
        const int c = f.heldNext < f.heldCount ? f.held[f.heldNext++] : rawByte(f);
        if (c == EOF)
            return any;
        any = true;
        if (addListByte(line, static_cast<unsigned char>(c)))
            return true;
    }
}
} // namespace

ListRun runList(const char *listPath, FILE *firmware, bool (*entry)(FILE *, const char *)) {
    FILE *list = openNamedFile(listPath, "rb");
    if (!list) {
        puts("list file open failed.");
        return listOpenFailed;
    }
    ListFile f = {list, UINT64_MAX, {}, 0, 0};
    regularFileSize(list, f.left); // a pipe is read to its end
    skipBom(f);
    ListScan scan = {{address, width, height, ""}, false};
    memcpy(scan.entry.name, listName, sizeof listName);
    ListRun result = listDone;
    ListLineText line;
    char path[listPathSize];
    while (readListLine(f, line)) {
        // kvpush leaves a BMP's own size in width and height for the next line.
        scan.entry.address = address;
        scan.entry.width = width;
        scan.entry.height = height;
        const ListLine kind = scanListLine(line, scan);
        if (const char *refusal = listRefusal(kind))
            puts(refusal);
        if (kind != listEntry)
            continue;
        address = scan.entry.address;
        width = scan.entry.width;
        height = scan.entry.height;
        memcpy(listName, scan.entry.name, sizeof listName);
        snprintf(path, sizeof path, "%s.bmp", listName);
        if (!entry(firmware, path)) {
            result = listStopped;
            break;
        }
    }
    // A read error ends the list like its end would; say so rather than stop silently.
    if (ferror(list))
        puts("list file read failed.");
    if (fclose(list) != 0)
        puts("list file close failed.");
    return result;
}
