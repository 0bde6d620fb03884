#include "base/number.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

const char* mtxNumber::Digits(uint32_t value, unsigned base, bool negative) {
    char reversed[40];
    int n = 0;
    do {
        reversed[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value);
    int k = 0;
    if (negative) text_[k++] = '-';
    while (n) text_[k++] = reversed[--n];
    text_[k] = '\0';
    return text_;
}

const char* mtxNumberINT::Base2() {
    return Digits(static_cast<uint32_t>(value_), 2, false);
}
const char* mtxNumberINT::Base16() {
    return Digits(static_cast<uint32_t>(value_), 16, false);
}
const char* mtxNumberINT::Base10() {
    // Negate in unsigned arithmetic so INT32_MIN keeps its magnitude.
    uint32_t magnitude = value_ < 0 ? 0u - static_cast<uint32_t>(value_) : uint32_t(value_);
    return Digits(magnitude, 10, value_ < 0);
}

const char* mtxNumberUINT::Base2() {
    return Digits(value_, 2, false);
}
const char* mtxNumberUINT::Base10() {
    return Digits(value_, 10, false);
}
const char* mtxNumberUINT::Base16() {
    return Digits(value_, 16, false);
}

const char* mtxNumberFLOAT::Text(int digits, int decimals) {
    digits = std::clamp(digits, 1, 40);
    decimals = std::clamp(decimals, 0, 40);
    // '#' keeps the decimal point even when no digit follows it.
    std::snprintf(text_, sizeof text_, "%#.*g", digits, value_);
    char* point = static_cast<char*>(std::memchr(text_, '.', std::min<size_t>(sizeof text_, 260)));
    if (!point) return text_;  // inf and nan have no point
    size_t at = static_cast<size_t>(point - text_) + 1;
    size_t end = std::strlen(text_);
    for (int i = 0; i < decimals && at + i < sizeof text_ - 1; ++i)
        if (at + i >= end) text_[at + i] = '0';
    text_[std::min(at + decimals, sizeof text_ - 1)] = '\0';
    return text_;
}
