// kvlist check over random firmware files and lists: a file compared with a
// copy of itself differs nowhere and leaves no checksum stale; compared with
// another, nothing is read outside either.
#include <cstdlib>

#include "check.h"
#include "kvlistparts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const KvlistParts p = splitKvlistInput(data, size);
    const std::vector<uint8_t> copy = p.first;
    const Checked same = checkEdit(p.first.data(), p.first.size(), copy.data(), copy.size(),
                                   p.list.data(), p.list.size(), "a.bin", "copy.bin");
    if (!same.onlyInPictures || !same.warnings.empty() ||
        same.report.find(" 0 ranges where kvpush does not write\n") == std::string::npos)
        abort();
    const Checked other =
        checkEdit(p.first.data(), p.first.size(), p.second.data(), p.second.size(), p.list.data(),
                  p.list.size(), "a.bin", "b.bin");
    if (other.onlyInPictures && p.first.size() != p.second.size())
        abort();
    return 0;
}
