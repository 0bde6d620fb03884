// Any byte string as a sample collection file: refused or read, never a crash; and what reads
// writes back to a file that reads as the same entries.
#include <cstdint>
#include <cstdlib>

#include "fill/file_lawn_col.h"
#include "image/file_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (2u << 20)) return 0;
    mtxFileMemory file(0);
    file.Attach(const_cast<uint8_t*>(data), static_cast<uint32_t>(size), 0);
    mtxFileLawnCol collection;
    if (!collection.ReadCollection(file)) return 0;

    mtxFileMemory copy;
    if (!collection.WriteCollection(copy)) {
        // Empty entries read but are not written; nothing else may be refused.
        for (int i = 0; i < collection.entryCount; ++i)
            if (collection.entries[i].empty()) return 0;
        std::abort();
    }
    mtxFileLawnCol again;
    if (!again.ReadCollection(copy) || again.entryCount != collection.entryCount) std::abort();
    for (int i = 0; i < again.entryCount; ++i)
        if (again.entries[i] != collection.entries[i]) std::abort();
    return 0;
}
