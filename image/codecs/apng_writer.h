#pragma once
#include <cstdint>
#include <vector>

class mtxFile;
class mtxImage;

// An animated PNG written frame by frame (the APNG extension of PNG: acTL,
// fcTL and fdAT chunks). Each frame is encoded by the PNG encoder as 8-bit
// RGBA; the first frame's IDAT chunks are the default image as well, the
// others' image data go into fdAT chunks. Every frame covers the whole
// canvas and replaces it (dispose none, blend source), so each one shows as
// written. Decoders without APNG show the first frame.
class mtxApngWriter {
  public:
    // frames: how many AddFrame will give; each shown delayNumerator /
    // delayDenominator seconds; plays 0 loops for ever.
    mtxApngWriter(mtxFile& file, uint32_t frames, uint16_t delayNumerator,
                  uint16_t delayDenominator, uint32_t plays = 0);

    // 1, or 0 when the frame is not the first frame's size, more frames come
    // than announced, or encoding or writing failed (the file must then be
    // thrown away).
    int AddFrame(mtxImage& frame);
    // AddFrame in two steps, so frames can be compressed side by side on
    // several threads and still be added in order: EncodeFrame, on any
    // thread, makes the frame's PNG file in png (1, or 0 when it cannot be
    // encoded); AddEncoded adds such a file of a width x height frame, as
    // AddFrame would add the frame (1, or 0 as AddFrame fails).
    static int EncodeFrame(mtxImage& frame, std::vector<uint8_t>& png);
    int AddEncoded(const std::vector<uint8_t>& png, int width, int height);
    // Ends the file (IEND). 0 when fewer frames came than announced or a
    // write failed.
    int Finish();

  private:
    int PutChunk(const char type[4], const uint8_t* data, uint32_t size);
    int PutFrameControl(int width, int height);

    mtxFile& file_;
    uint32_t frames_, added_ = 0, sequence_ = 0, plays_;
    uint16_t delayNumerator_, delayDenominator_;
    int width_ = 0, height_ = 0;
    bool failed_ = false;
    std::vector<uint32_t> crcTable_;
};
