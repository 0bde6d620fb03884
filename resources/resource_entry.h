#pragma once
#include <cstddef>
#include <cstdint>

// One resource compiled into the program by tools/rescomp.
struct mtxResourceEntry {
    const char* type;  // "STRING", "MENU", "IMAGE", "SHADER"
    uint32_t id;
    const unsigned char* data;
    size_t size;
};

// The generated table, ended by an entry whose type is null.
extern const mtxResourceEntry kResourceTable[];
