#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fill/fill_maps.h"
#include "fill/stamp_log.h"
#include "image/image.h"
#include "render/layers/relief_light.h"

// A filled picture that can be opened again elsewhere: the photo, the
// samples' pictures, the options, the seed, the stamp log and the painted
// maps that steer the Fine mode.
struct mtxProject {
    struct Sample {
        std::string path;  // where the picture came from, for display and saving
        mtxImage picture;
        std::vector<uint8_t> png;  // the picture as PNG once written (see photoPng)
    };

    mtxImage photo;
    // The photo as PNG: made by the first Write and taken as it is by the
    // next, so whoever changes the photo empties it. Read leaves it empty.
    std::vector<uint8_t> photoPng;
    std::vector<std::unique_ptr<Sample>> samples;
    mtxStampLog::Options options;
    bool hasSeed = false;
    uint64_t seed = 0;
    mtxStampLog log;
    mtxFillMaps maps;  // none, or planes of the photo's size
    // Where the picture's layers lie (Move, Rotate), bottom first; empty
    // when every layer is at the identity.
    std::vector<std::array<float, 9>> transforms;
    mtxReliefLight light;
};

// The .daubry file: a signature, a version, then chunks, each a type, a
// packing (stored, or deflated by the program's own compressor), its stored
// and unpacked lengths, its bytes and a CRC-32 of all of that. The chunks
// come in a fixed order: HEAD (sizes, seed, options), PHOT (the photo as
// PNG), one SMPL per sample (its path and picture as PNG), LOG (the stamp
// log, deflated), MAPS (the painted maps, deflated; version 2, only when a
// map is painted, so a project without maps opens in older versions),
// XFRM (the layers' transforms, only when one is not the identity), LITE
// (the relief light, only when it is on or not at its defaults), ERAS (the
// erased stamps, deflated, only when a stamp is erased), these three of
// version 3 and making the file version 3 only when present, ERAT (when the
// erasures were made, deflated, only when one was made before the log's
// end; version 4), and END. The
// reader treats the file as hostile: every count and size is checked against
// its bound and against what remains before anything is allocated, and a
// damaged file is refused with a message naming the chunk and the fault.
class mtxProjectFile {
  public:
    static constexpr uint8_t kSignature[8] = {0x89, 'D', 'B', 'R', 'Y', '\r', '\n', 0x1A};
    static constexpr uint32_t kVersion = 4;
    static constexpr uint32_t kMaxLayers = 256;  // transforms in XFRM
    // A transform's entries lie within this; its determinant is not 0.
    static constexpr float kMaxTransformEntry = 1.0e6f;
    static constexpr uint32_t kMaxChunkBytes = 1u << 30;
    static constexpr int kMaxSide = 1 << 16;
    static constexpr uint64_t kMaxPhotoPixels = uint64_t(1) << 28;
    static constexpr uint64_t kMaxSamplePixels = uint64_t(1) << 24;
    static constexpr size_t kMaxPath = 4096;

    // The project as bytes. 1, or 0 with why in error (a picture the PNG
    // writer refused, a log too large). cancel (may be null), once set from
    // another thread, ends the work soon: 0, error "cancelled".
    static int Write(mtxProject& project, std::vector<uint8_t>& out, std::string& error,
                     const std::atomic<bool>* cancel = nullptr);
    // Reads a whole file's bytes. 1, or 0 with why in error and project
    // left partly filled (callers read into a fresh one).
    static int Read(const uint8_t* data, size_t size, mtxProject& project, std::string& error);

    // Writes the file so that path holds either the old file or the new one
    // whole (a temporary file renamed over it). 1, or 0 with why in error;
    // cancel as for Write (the file then stays as it was).
    static int Save(mtxProject& project, const std::string& path, std::string& error,
                    const std::atomic<bool>* cancel = nullptr);
    // 1, or 0 with why in error, naming the file.
    static int Load(const std::string& path, mtxProject& project, std::string& error);
};
