#include "list.h"

#include <cstring>

#include "os.h"
#include "picture.h"

char listName[listNameMax + 1];

bool readListLine(FILE *list, char line[listLineSize]) {
    int n = 0;
    while (n < listLineSize - 1) {
        int c = getc(list);
        if (c == EOF)
            break;
        if (c == '\r') {
            int next = getc(list);
            if (next == '\n')
                c = next;
            else if (next != EOF)
                ungetc(next, list);
        }
        line[n++] = char(c);
        if (c == '\n')
            break;
    }
    line[n] = '\0';
    return n > 0;
}

ListLine scanListLine(const char *line) {
    if (line[0] == '#')
        return listComment;
    unsigned int a = address, ignored = 0;
    int w = int(width), h = int(height);
    char name[listNameMax + 2] = ""; // one more than allowed, to see a name too long
    int fields = sscanf(line, "0x%08X 0x%04X %3d %3d %128s", &a, &ignored, &w, &h, name);
    if (fields == 5 && strlen(name) > size_t(listNameMax))
        return listNameTooLong;
    if (fields < 5 && listName[0] == '\0')
        return listNoName;
    address = a;
    width = uint32_t(w);
    height = uint32_t(h);
    if (fields == 5)
        memcpy(listName, name, sizeof listName);
    return listEntry;
}

ListRun runList(const char *listPath, FILE *firmware, bool (*entry)(FILE *, const char *)) {
    FILE *list = openNamedFile(listPath, "rt");
    if (!list) {
        puts("list file open failed.");
        return listOpenFailed;
    }
    ListRun result = listDone;
    char line[listLineSize];
    char path[listPathSize];
    while (readListLine(list, line)) {
        const ListLine kind = scanListLine(line);
        if (kind == listNameTooLong)
            puts("list entry name too long.");
        else if (kind == listNoName)
            puts("list entry without name.");
        if (kind != listEntry)
            continue;
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
