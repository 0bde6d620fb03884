#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "resources/resource_entry.h"

// The bytes of resource (type, id); an empty span when there is none. Text
// resources are followed by a zero byte that the span does not include.
std::span<const unsigned char> mtxFindResource(const char* type, uint32_t id);
