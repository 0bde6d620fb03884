#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// A rectangle of pixels: left and top inclusive, right and bottom exclusive.
struct mtxRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

// Root of every pixel field; it carries nothing.
class mtxBaseField {};

// A rectangle of 4-byte elements addressed row by row through a pitch in bytes.
// Pixel code must go through Row() (a device-backed field reports its own pitch)
// and bracket its access with Lock and Unlock. Virtual operations are declared in
// their slot order: Lock, Unlock, destructor, Create, Attach, Free, Assign. Loading
// a picture into an image belongs to the loading library (image/io/image_load.h).
template <class T, class V>
class mtxField : public mtxBaseField {
    static_assert(sizeof(T) == 4, "field elements are 4 bytes");

  public:
    mtxField() = default;
    mtxField(const mtxField&) = delete;
    mtxField& operator=(const mtxField&) = delete;

    // Makes the elements addressable (data and pitch valid); returns 1.
    virtual int Lock() { return 1; }
    virtual void Unlock() {}
    virtual ~mtxField() { ReleaseData(); }

    // Gives the field width x height elements set to value; returns 1. A field that
    // already has data of that size keeps it unchanged (not refilled). Returns 0 and
    // leaves the field empty when the size is negative or cannot be allocated.
    virtual int Create(int newWidth, int newHeight, V value);
    // Create without the fill: the elements are unset, and a large buffer comes
    // fresh from the system with its pages committed only as they are written,
    // so a picture decoded into it costs memory as its rows arrive. The caller
    // writes every element before anything reads it. Not virtual: device fields
    // have no such buffer. Returns 1, or 0 with the field empty as Create does.
    int CreateUnset(int newWidth, int newHeight);
    // Wraps an external buffer the field never frees; returns 1.
    virtual int Attach(T* buffer, int newWidth, int newHeight, int newPitch);
    // Back to empty: frees an owned buffer, zero size, ownsData = 1.
    virtual void Free();
    // Takes other's buffer, size and ownership, leaving other empty: memory
    // made ready elsewhere changes hands without a copy. Not virtual: for
    // fields whose elements are their own memory, not device surfaces.
    void TakeOver(mtxField& other);
    // Copies another field (locked for the copy) into a buffer of its own (pitch =
    // width x 4); returns 1, or 0 when the buffer cannot be allocated or the other
    // field cannot be locked (the field is then empty).
    virtual int Assign(const mtxField& other);

    T* Row(int y) {
        return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(data) + ptrdiff_t(y) * pitch);
    }
    const T* Row(int y) const {
        return reinterpret_cast<const T*>(reinterpret_cast<const uint8_t*>(data) +
                                          ptrdiff_t(y) * pitch);
    }
    T& At(int x, int y) { return Row(y)[x]; }
    const T& At(int x, int y) const { return Row(y)[x]; }
    bool IsEmpty() const { return data == nullptr || width <= 0 || height <= 0; }

    uint32_t format = 0;  // 0 in a bare field, 21 (A8R8G8B8) in every image
    T* data = nullptr;    // row 0, rows running top to bottom
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;     // bytes from one row to the next
    int32_t ownsData = 1;  // 1: the buffer came from Create and is freed here

  protected:
    // Allocates width x height elements; null on overflow or when memory is short.
    static T* Allocate(int w, int h) {
        if (w <= 0 || h <= 0) return nullptr;
        size_t count = size_t(w) * size_t(h);
        if (count > SIZE_MAX / sizeof(T) / 2) return nullptr;
        return static_cast<T*>(std::malloc(count * sizeof(T)));
    }
    void ReleaseData() {
        if (ownsData && data) std::free(data);
        data = nullptr;
    }
};

template <class T, class V>
int mtxField<T, V>::Create(int newWidth, int newHeight, V value) {
    if (data && newWidth == width && newHeight == height) return 1;
    if (!CreateUnset(newWidth, newHeight)) return 0;
    T fill = T(value);
    size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i) data[i] = fill;
    return 1;
}

template <class T, class V>
int mtxField<T, V>::CreateUnset(int newWidth, int newHeight) {
    if (data && newWidth == width && newHeight == height) return 1;
    ReleaseData();
    ownsData = 1;
    // The pitch is a 32-bit byte count.
    if (newWidth < 0 || newHeight < 0 || newWidth > INT32_MAX / int32_t(sizeof(T))) {
        width = height = pitch = 0;
        return 0;
    }
    width = newWidth;
    height = newHeight;
    pitch = newWidth * int32_t(sizeof(T));
    if (width == 0 || height == 0) return 1;
    data = Allocate(width, height);
    if (!data) {
        width = height = pitch = 0;
        return 0;
    }
    return 1;
}

template <class T, class V>
int mtxField<T, V>::Attach(T* buffer, int newWidth, int newHeight, int newPitch) {
    ReleaseData();
    data = buffer;
    width = newWidth;
    height = newHeight;
    pitch = newPitch;
    ownsData = 0;
    return 1;
}

template <class T, class V>
void mtxField<T, V>::Free() {
    ReleaseData();
    width = height = pitch = 0;
    ownsData = 1;
}

template <class T, class V>
void mtxField<T, V>::TakeOver(mtxField& other) {
    if (&other == this) return;
    ReleaseData();
    data = other.data, width = other.width, height = other.height;
    pitch = other.pitch, ownsData = other.ownsData;
    other.data = nullptr;
    other.width = other.height = other.pitch = 0;
    other.ownsData = 1;
}

template <class T, class V>
int mtxField<T, V>::Assign(const mtxField& other) {
    if (&other == this) return 1;
    // Locking only makes the elements addressable; it does not change them.
    mtxField& source = const_cast<mtxField&>(other);
    if (!source.Lock()) {
        Free();
        return 0;
    }
    struct Unlocker {
        mtxField& f;
        ~Unlocker() { f.Unlock(); }
    } unlock{source};
    if (other.IsEmpty()) {
        Free();
        return 1;
    }
    T* copy = Allocate(other.width, other.height);
    if (!copy) {
        Free();
        return 0;
    }
    size_t rowBytes = size_t(other.width) * sizeof(T);
    for (int y = 0; y < other.height; ++y)
        std::memcpy(copy + size_t(y) * other.width, other.Row(y), rowBytes);
    ReleaseData();
    data = copy;
    width = other.width;
    height = other.height;
    pitch = width * int32_t(sizeof(T));
    ownsData = 1;
    return 1;
}

// A per-pixel scalar map (distances, weights).
using mtxFloatField = mtxField<float, float>;

// Holds a field locked for the lifetime of the guard. Lock() may fail (a device
// surface that cannot be mapped); test the guard before touching pixels.
template <class F>
class mtxFieldLock {
  public:
    explicit mtxFieldLock(F& field) : field_(field), locked_(field.Lock() != 0) {}
    ~mtxFieldLock() {
        if (locked_) field_.Unlock();
    }
    mtxFieldLock(const mtxFieldLock&) = delete;
    mtxFieldLock& operator=(const mtxFieldLock&) = delete;
    explicit operator bool() const { return locked_; }

  private:
    F& field_;
    bool locked_;
};
