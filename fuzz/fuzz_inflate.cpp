// Any byte string through Decompress and through Inflate in pieces: no crash,
// no read or write outside the buffers, and both agree on the bytes.
#include <cstdint>
#include <vector>

#include "image/codecs/deflate.h"
#include "image/file_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Small inputs keep the largest possible output (about 1000 x the input)
    // within the fuzzer's memory limit; the output grows in 1 MB steps.
    if (size > (1u << 14)) return 0;
    mtxFileMemory in, out(1u << 20);
    in.Attach(const_cast<uint8_t*>(data), static_cast<uint32_t>(size), 0);
    mtxCompressorZLIB<15, 3> z;
    z.SetInput(&in);
    z.SetOutput(&out);
    z.Decompress();

    in.Seek(0, 0);
    mtxCompressorZLIB<15, 3> pull;
    pull.SetInput(&in);
    std::vector<uint8_t> bytes;
    uint32_t step = size ? data[0] % 200 + 1 : 1;
    for (;;) {
        size_t at = bytes.size();
        bytes.resize(at + step);
        uint32_t got = pull.Inflate(bytes.data() + at, step);
        bytes.resize(at + got);
        if (got < step || bytes.size() > (64u << 20)) break;
    }
    // Decompress writes what it decoded before it stopped; Inflate delivers
    // the same bytes.
    size_t common = bytes.size() < size_t(out.GetLength()) ? bytes.size() : size_t(out.GetLength());
    for (size_t i = 0; i < common; ++i)
        if (bytes[i] != out.Data()[i]) __builtin_trap();
    return 0;
}
