#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// One resource compiled into the program by tools/rescomp.
struct mtxResourceEntry {
    const char* type;  // "STRING", "MENU", "IMAGE", "SHADER"
    uint32_t id;
    const unsigned char* data;
    size_t size;
};

// Generated table, ended by an entry whose type is null.
extern const mtxResourceEntry kResourceTable[];

// The bytes of resource (type, id); an empty span when there is none. Text
// resources are followed by a zero byte that the span does not include.
std::span<const unsigned char> mtxFindResource(const char* type, uint32_t id);
