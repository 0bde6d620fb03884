#include "platform/resource_table.h"

#include <cstring>

std::span<const unsigned char> mtxFindResource(const char* type, uint32_t id) {
    for (const mtxResourceEntry* e = kResourceTable; e->type; ++e)
        if (e->id == id && std::strcmp(e->type, type) == 0) return {e->data, e->size};
    return {};
}
