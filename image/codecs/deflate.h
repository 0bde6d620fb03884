#pragma once
#include <cstdint>
#include <memory>

#include "image/file.h"

// The system's stream compressor: reads one mtxFile and writes another.
// Status results follow COM: 0 success, kFailed (0x80004005) failure.
class mtxCompressor {
  public:
    static constexpr uint32_t kOk = 0;
    static constexpr uint32_t kFailed = 0x80004005u;
    enum Mode : int32_t { kIdle = 0, kDecompressing = 1, kCompressing = 2 };

    mtxCompressor() = default;
    virtual ~mtxCompressor();
    mtxCompressor(const mtxCompressor&) = delete;
    mtxCompressor& operator=(const mtxCompressor&) = delete;

    // Compresses every byte from the input's position to its end. final = 1
    // closes the stream (last block, checksum). kFailed when output was lost.
    virtual uint32_t Compress(int final) = 0;
    // Decompresses one whole stream from input to output. kFailed on any
    // fault (bad header, truncated or corrupt data, checksum mismatch).
    virtual uint32_t Decompress() = 0;
    // Both return 0.
    virtual uint32_t SetInput(mtxFile* file);
    virtual uint32_t SetOutput(mtxFile* file);
    virtual void BeginCompress() = 0;
    // 1 when the compressing state could be allocated.
    virtual int InitCompress() = 0;
    virtual void EndCompress() = 0;
    virtual void BeginDecompress() = 0;
    // 1 when the decoding state could be allocated.
    virtual int InitDecompress() = 0;
    virtual void EndDecompress() = 0;

    int32_t Mode() const { return mode_; }

  protected:
    mtxFile* input_ = nullptr;
    mtxFile* output_ = nullptr;
    int32_t mode_ = kIdle;
};

// Adler-32 (RFC 1950 section 8.2) of size bytes continued from adler (1 to start).
uint32_t mtxAdler32(uint32_t adler, const uint8_t* data, size_t size);

// zlib-format (RFC 1950) deflate (RFC 1951): greedy hash-chain compression to
// dynamic-Huffman blocks, decompression of every block type, and a pull-style
// Inflate for readers that want their data row by row. The window is
// 2^windowBits bytes (at most 32768); level is the header's FLEVEL.
//
// The decoder treats its input as hostile: it never reads or writes outside
// its buffers, and stops with kFailed when the input ends early, a code or
// block type is invalid, or a distance reaches before the start of the data.
class mtxDeflate : public mtxCompressor {
  public:
    mtxDeflate(int windowBits, int level);
    ~mtxDeflate() override;

    uint32_t Compress(int final) override;
    uint32_t Decompress() override;
    void BeginCompress() override;
    int InitCompress() override;
    void EndCompress() override;
    void BeginDecompress() override;
    int InitDecompress() override;
    void EndDecompress() override;

    // Delivers up to count decompressed bytes from the input into buffer:
    // count, or fewer only when the stream ended or turned out corrupt (then
    // Failed() is 1). Starts decompressing on first use. Stricter than
    // Decompress: a wrong zlib header or a stored block whose length does not
    // match its complement stops it. The Adler-32 trailer is neither read nor
    // checked.
    uint32_t Inflate(void* buffer, uint32_t count);
    // 1 when decoding stopped on corrupt or truncated data.
    int Failed() const { return state_ == kStateError; }
    // What was wrong with the data ("distance too far back"), or null when
    // nothing was, or when the input merely ended early.
    const char* Fault() const { return fault_; }
    // 1 once the final block has been decoded completely.
    int Complete() const { return (flags_ & kFlagComplete) != 0; }

    // For tests: 1 makes the compressor walk its hash chains one by one, the
    // plain search whose results the fast one must reproduce exactly.
    void SetPlainSearch(int on) { plainSearch_ = on; }

    // Decoder flag bits.
    static constexpr uint32_t kFlagHeader = 1, kFlagFinal = 2, kFlagCompressed = 4,
                              kFlagBlockHeader = 8, kFlagComplete = 16;

  private:
    struct EncoderState;
    struct DecoderState;
    enum State { kStateBlockHeader, kStateStored, kStateHuffman, kStateDone, kStateError };

    // Encoder.
    void FillLookAhead();
    void RunLz77(uint32_t& left);
    uint32_t FindMatch(uint32_t cur, uint32_t limit, uint32_t& distance);
    uint32_t FindMatchChain(uint32_t cur, uint32_t limit, uint32_t& distance);
    void WriteBlock(int last);
    void PutBits(uint32_t bits, uint32_t count);
    void FlushBytes(int partial);
    int FlushOutput();

    // Decoder.
    int ReadHeader();
    // Notes what is wrong with the data; returns 0.
    int Corrupt(const char* what) {
        if (!fault_) fault_ = what;
        return 0;
    }
    void Refill();
    int RefillInput();
    bool Truncated() const { return bitCount_ < 8u * phantom_; }
    uint32_t TakeBits(uint32_t count);
    void DecodeUntil(uint32_t limit);
    int ReadBlockHeader();
    int ReadDynamicTables();
    void CopyStored(uint32_t limit);
    void DecodeHuffman(uint32_t limit);
    void Slide();
    int CheckTrailer();

    uint32_t windowSize_;
    uint32_t level_;
    std::unique_ptr<uint8_t[]> window_;  // decoder: history plus decoded bytes not yet delivered
    uint32_t s1_ = 1, s2_ = 0;           // Adler-32 sums

    // Decoder bit reader: bits least significant first, with the whole bytes of
    // a 64-bit buffer; past the end of the input it holds zero "phantom" bytes
    // that may be looked at but never consumed.
    uint64_t bitBuffer_ = 0;
    uint32_t bitCount_ = 0;
    uint32_t phantom_ = 0;
    uint32_t flags_ = 0;
    State state_ = kStateBlockHeader;
    uint32_t storedLeft_ = 0;
    uint32_t writePos_ = 0;    // next decoded byte goes to window_[writePos_]
    uint32_t deliverPos_ = 0;  // first decoded byte not yet handed out
    uint32_t status_ = kOk;    // faults that do not stop decoding
    const char* fault_ = nullptr;
    bool pulling_ = false;  // Inflate, which stops on faults Decompress only notes
    std::unique_ptr<DecoderState> dec_;
    std::unique_ptr<EncoderState> enc_;

    // Encoder bit accumulator.
    uint64_t accumulator_ = 0;
    uint32_t accumulatorBits_ = 0;
    uint32_t encoderFlags_ = 0;  // bit 0: header written
    int plainSearch_ = 0;
};

template <int WindowBits, int Level>
class mtxCompressorZLIB : public mtxDeflate {
    static_assert(WindowBits >= 8 && WindowBits <= 15, "deflate windows are 256 to 32768 bytes");
    static_assert(Level >= 0 && Level <= 3, "FLEVEL is two bits");

  public:
    mtxCompressorZLIB() : mtxDeflate(WindowBits, Level) {}
};

using mtxCompressorZLIB15 = mtxCompressorZLIB<15, 3>;
