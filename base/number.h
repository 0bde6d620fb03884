#pragma once
#include <cstdint>

// Numbers as display text. Each call writes the text into the object's own
// buffer and returns it, so the result lives as long as the object.
class mtxNumber {
  public:
    virtual ~mtxNumber() = default;
    virtual const char* Base2() = 0;
    virtual const char* Base10() = 0;
    virtual const char* Base16() = 0;  // lower-case digits, no prefix

  protected:
    const char* Digits(uint32_t value, unsigned base, bool negative);
    char text_[128] = {};
};

// Signed: a minus sign only in base 10; bases 2 and 16 show two's complement.
class mtxNumberINT : public mtxNumber {
  public:
    explicit mtxNumberINT(int32_t value) : value_(value) {}
    const char* Base2() override;
    const char* Base10() override;
    const char* Base16() override;

  private:
    int32_t value_;
};

class mtxNumberUINT : public mtxNumber {
  public:
    explicit mtxNumberUINT(uint32_t value) : value_(value) {}
    const char* Base2() override;
    const char* Base10() override;
    const char* Base16() override;

  private:
    uint32_t value_;
};

// Floating point has no integer bases (those return null); it is formatted by
// Text instead.
class mtxNumberFLOAT : public mtxNumber {
  public:
    explicit mtxNumberFLOAT(double value) : value_(value) {}
    const char* Base2() override { return nullptr; }
    const char* Base10() override { return nullptr; }
    const char* Base16() override { return nullptr; }

    // `digits` significant digits, then exactly `decimals` characters after the
    // decimal point, padded with zeros: 12 -> "12.0", 33.3333 -> "33.3" (5, 1).
    const char* Text(int digits, int decimals);

  private:
    double value_;
};
