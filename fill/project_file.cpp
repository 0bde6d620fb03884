#include "fill/project_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/application.h"
#include "fill/byte_io.h"
#include "fill/sample_collection.h"
#include "image/codecs/deflate.h"
#include "image/codecs/png_decoder.h"
#include "image/file_memory.h"
#include "image/io/image_save.h"
#include "platform/os_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kStored = 0, kDeflated = 1;
constexpr size_t kChunkFrame = 4 + 4 + 4 + 4 + 4;  // type, packing, lengths, CRC
constexpr size_t kHeadBytes = 4 + 4 + 4 + 1 + 8 + 10 * 4;

// The reflected CRC-32 (0xEDB88320), as the PNG chunks and .msc files use.
uint32_t Crc32(const uint8_t* data, size_t size) {
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        mtxBuildCrc32Table(t.data());
        return t;
    }();
    return ~mtxCrc32Update(table.data(), 0xFFFFFFFFu, data, size);
}

int Deflate(const Bytes& raw, Bytes& packed) {
    mtxFileMemory in(0), out(1u << 20);
    in.Attach(const_cast<uint8_t*>(raw.data()), uint32_t(raw.size()), 0);
    mtxCompressorZLIB15 compressor;
    compressor.SetInput(&in);
    compressor.SetOutput(&out);
    compressor.BeginCompress();
    if (compressor.Compress(1) != mtxCompressor::kOk) return 0;
    packed.assign(out.Data(), out.Data() + out.GetLength());
    return 1;
}

// Exactly rawSize bytes from a whole zlib stream, never more.
int Inflate(const uint8_t* data, size_t size, uint32_t rawSize, Bytes& raw) {
    mtxFileMemory in(0);
    in.Attach(const_cast<uint8_t*>(data), uint32_t(size), 0);
    mtxCompressorZLIB15 compressor;
    compressor.SetInput(&in);
    raw.resize(rawSize);
    if (rawSize && compressor.Inflate(raw.data(), rawSize) != rawSize) return 0;
    uint8_t extra = 0;
    return compressor.Inflate(&extra, 1) == 0 && compressor.Complete() && !compressor.Failed();
}

void PutChunk(mtxByteWriter& w, const char type[4], const Bytes& raw, bool deflate,
              Bytes& scratch) {
    const Bytes* body = &raw;
    uint32_t packing = kStored;
    if (deflate && Deflate(raw, scratch) && scratch.size() < raw.size()) {
        body = &scratch;
        packing = kDeflated;
    }
    w.Bytes(type, 4);
    w.U32(packing), w.U32(uint32_t(body->size())), w.U32(uint32_t(raw.size()));
    w.Bytes(body->data(), body->size());
}

// A file in memory whose writes fail once cancel is set, so an encoder
// writing into it stops at its next write.
class CancellableFile : public mtxFileMemory {
  public:
    explicit CancellableFile(const std::atomic<bool>* cancel)
        : mtxFileMemory(1u << 20), cancel_(cancel) {}
    int Write(const void* buffer, uint32_t count) override {
        if (cancel_ && cancel_->load(std::memory_order_relaxed)) return 0;
        return mtxFileMemory::Write(buffer, count);
    }

  private:
    const std::atomic<bool>* cancel_;
};

int EncodePng(mtxImage& image, Bytes& out, const std::atomic<bool>* cancel) {
    CancellableFile file(cancel);
    if (!mtxImageWritePng(image, file)) return 0;
    out.assign(file.Data(), file.Data() + file.GetLength());
    return 1;
}

int DecodePng(const uint8_t* data, size_t size, uint64_t maxPixels, mtxImage& image,
              std::string& why) {
    mtxFileMemory file(0);
    file.Attach(const_cast<uint8_t*>(data), uint32_t(size), 0);
    mtxImageDecoderPng decoder(&file, &image);
    decoder.maxPixels = maxPixels;
    if (decoder.Decode(0) != mtxImageDecoderPng::kEndReached || image.IsEmpty()) {
        why = decoder.reason.empty() ? "not a PNG picture" : decoder.reason;
        return 0;
    }
    return 1;
}

// Reads the chunks in order, checking each frame and CRC.
class ChunkReader {
  public:
    ChunkReader(const uint8_t* data, size_t size, std::string& error)
        : reader_(data, size), data_(data), error_(error) {}

    int Signature() {
        const uint8_t* signature = reader_.Take(8);
        if (!signature || std::memcmp(signature, mtxProjectFile::kSignature, 8) != 0)
            return Fail("not a Daubry project (no project signature)");
        version = reader_.U32();
        if (reader_.failed) return Fail("cut short in its header");
        if (version == 0 || version > mtxProjectFile::kVersion)
            return Fail("version " + std::to_string(version) +
                        " is not one this Daubry reads (it reads up to " +
                        std::to_string(mtxProjectFile::kVersion) + ")");
        return 1;
    }

    // Whether the next chunk is of this type, which is then read as Next reads it.
    int NextIf(const char type[4], Bytes& raw, bool& present) {
        present = reader_.Left() >= 4 && std::memcmp(data_ + reader_.Position(), type, 4) == 0;
        return !present || Next(type, raw);
    }

    // The next chunk, which must be of this type; its unpacked bytes in raw.
    int Next(const char type[4], Bytes& raw) {
        std::string name(type, 4);
        size_t start = reader_.Position();
        const uint8_t* got = reader_.Take(4);
        uint32_t packing = reader_.U32(), stored = reader_.U32(), unpacked = reader_.U32();
        if (reader_.failed) return Fail("cut short before chunk " + name);
        if (std::memcmp(got, type, 4) != 0)
            return Fail("chunk " + Printable(got) + " where " + name + " belongs");
        if (packing > kDeflated || stored > mtxProjectFile::kMaxChunkBytes ||
            unpacked > mtxProjectFile::kMaxChunkBytes || (packing == kStored && stored != unpacked))
            return Fail("chunk " + name + " claims sizes past its bounds");
        // Deflate cannot expand a byte into more than 258 bytes (RFC 1951
        // 3.2.5: the longest match from a code of at least one bit), so a
        // larger claim is a lie that would only cost memory.
        if (packing == kDeflated && uint64_t(unpacked) > uint64_t(stored) * 1032 + 1024)
            return Fail("chunk " + name + " claims " + std::to_string(unpacked) +
                        " bytes from only " + std::to_string(stored));
        if (stored > reader_.Left() || reader_.Left() - stored < 4)
            return Fail("cut short in chunk " + name);
        const uint8_t* body = reader_.Take(stored);
        uint32_t crc = reader_.U32();
        if (crc != Crc32(data_ + start, reader_.Position() - 4 - start))
            return Fail("checksum mismatch in chunk " + name);
        if (packing == kStored) {
            raw.assign(body, body + stored);
        } else if (!Inflate(body, stored, unpacked, raw)) {
            return Fail("chunk " + name + " does not inflate to its " + std::to_string(unpacked) +
                        " bytes");
        }
        return 1;
    }
    bool AtEnd() const { return reader_.Left() == 0; }
    uint32_t version = 0;
    int Fail(const std::string& text) {
        error_ = text;
        return 0;
    }

  private:
    static std::string Printable(const uint8_t* type) {
        std::string text;
        for (int i = 0; i < 4; ++i) text += type[i] >= 32 && type[i] < 127 ? char(type[i]) : '?';
        return text;
    }
    mtxByteReader reader_;
    const uint8_t* data_;
    std::string& error_;
};

void WriteOptions(mtxByteWriter& w, const mtxStampLog::Options& o) {
    for (uint32_t v :
         {uint32_t(o.sizeMin), uint32_t(o.sizeMax), uint32_t(o.overlap), o.rotate, o.mirror, o.flip,
          o.chooseMode, o.colorMode, uint32_t(o.background), o.backgroundColor})
        w.U32(v);
}

constexpr uint8_t kProtectPlane = 1, kDetailPlane = 2;

bool HasMaps(const mtxProject& project) {
    const mtxFillMaps& maps = project.maps;
    return (maps.Has(mtxFillMaps::kProtect) || maps.Has(mtxFillMaps::kDetail)) &&
           maps.Width() == project.photo.width && maps.Height() == project.photo.height;
}

// Which planes there are, then each plane's bytes, rows top first.
void WriteMaps(const mtxFillMaps& maps, Bytes& raw) {
    const size_t pixels = size_t(maps.Width()) * size_t(maps.Height());
    raw.clear();
    raw.push_back(uint8_t((maps.Has(mtxFillMaps::kProtect) ? kProtectPlane : 0) |
                          (maps.Has(mtxFillMaps::kDetail) ? kDetailPlane : 0)));
    for (mtxFillMaps::Plane plane : {mtxFillMaps::kProtect, mtxFillMaps::kDetail})
        if (const uint8_t* data = maps.Data(plane)) raw.insert(raw.end(), data, data + pixels);
}

int ReadMaps(const Bytes& raw, int width, int height, mtxFillMaps& maps, std::string& why) {
    const size_t pixels = size_t(width) * size_t(height);
    if (raw.empty() || raw[0] == 0 || (raw[0] & ~(kProtectPlane | kDetailPlane)))
        return why = "chunk MAPS names no known plane", 0;
    const size_t planes = (raw[0] & kProtectPlane ? 1 : 0) + (raw[0] & kDetailPlane ? 1 : 0);
    if (raw.size() != 1 + planes * pixels)
        return why = "chunk MAPS is not " + std::to_string(planes) + " planes of the photo's size",
               0;
    const uint8_t* at = raw.data() + 1;
    for (auto [bit, plane] : {std::pair{kProtectPlane, mtxFillMaps::kProtect},
                              std::pair{kDetailPlane, mtxFillMaps::kDetail}}) {
        if (!(raw[0] & bit)) continue;
        if (!maps.Create(plane, width, height)) return why = "not enough memory for the maps", 0;
        std::copy(at, at + pixels, maps.Data(plane));
        at += pixels;
    }
    maps.MarkChanged(0, 0, width - 1, height - 1);
    return 1;
}

bool IsIdentity(const std::array<float, 9>& m) {
    return m == std::array<float, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1};
}

bool HasTransforms(const mtxProject& project) {
    return std::any_of(project.transforms.begin(), project.transforms.end(),
                       [](const std::array<float, 9>& m) { return !IsIdentity(m); });
}

// A count, then nine floats per layer, row by row.
void WriteTransforms(const mtxProject& project, Bytes& raw) {
    raw.clear();
    mtxByteWriter w(raw);
    w.U32(uint32_t(project.transforms.size()));
    for (const auto& m : project.transforms)
        for (float v : m) w.F32(v);
}

// A transform the viewer and the flattening can use: finite, bounded, invertible.
bool UsableTransform(const std::array<float, 9>& m) {
    for (float v : m)
        if (!std::isfinite(v) || std::fabs(v) > mtxProjectFile::kMaxTransformEntry) return false;
    double det = double(m[0]) * (double(m[4]) * m[8] - double(m[5]) * m[7]) -
                 double(m[1]) * (double(m[3]) * m[8] - double(m[5]) * m[6]) +
                 double(m[2]) * (double(m[3]) * m[7] - double(m[4]) * m[6]);
    return std::isfinite(det) && std::fabs(det) > 1e-12;
}

int ReadTransforms(const Bytes& raw, mtxProject& project, std::string& why) {
    mtxByteReader r(raw.data(), raw.size());
    uint32_t count = r.U32();
    if (r.failed || count < 1 || count > mtxProjectFile::kMaxLayers ||
        raw.size() != 4 + size_t(count) * 36)
        return why = "chunk XFRM is not a count of 1 to " +
                     std::to_string(mtxProjectFile::kMaxLayers) + " transforms and their floats",
               0;
    project.transforms.assign(count, {});
    for (uint32_t i = 0; i < count; ++i) {
        for (float& v : project.transforms[i]) v = r.F32();
        if (!UsableTransform(project.transforms[i]))
            return why = "chunk XFRM: the transform of layer " + std::to_string(i) +
                         " is not finite, bounded and invertible",
                   0;
    }
    return 1;
}

mtxStampLog::Options ReadOptions(mtxByteReader& r) {
    mtxStampLog::Options o;
    o.sizeMin = int32_t(r.U32()), o.sizeMax = int32_t(r.U32()), o.overlap = int32_t(r.U32());
    o.rotate = r.U32(), o.mirror = r.U32(), o.flip = r.U32();
    o.chooseMode = r.U32(), o.colorMode = r.U32();
    o.background = int32_t(r.U32()), o.backgroundColor = r.U32();
    return o;
}

}  // namespace

int mtxProjectFile::Write(mtxProject& project, Bytes& out, std::string& error,
                          const std::atomic<bool>* cancel) {
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    if (project.photo.IsEmpty()) return error = "the project has no photo", 0;
    if (project.samples.empty() || project.samples.size() > size_t(SampleCollection::kMaxSamples))
        return error = "a project holds 1 to 128 samples", 0;
    out.clear();
    mtxByteWriter w(out);
    w.Bytes(kSignature, 8);
    const bool maps = HasMaps(project), transforms = HasTransforms(project);
    const bool light = project.light.on || !project.light.IsDefault();
    const bool erasures = project.log.ErasedCount() > 0;
    const Bytes times = project.log.SerializeErasureTimes();
    // The oldest version that knows every chunk written.
    w.U32(!times.empty() ? 4 : transforms || light || erasures ? 3 : maps ? 2 : 1);
    Bytes raw, scratch;
    auto chunk = [&](const char* type, bool deflate) {
        size_t start = w.Size();
        PutChunk(w, type, raw, deflate, scratch);
        w.U32(Crc32(out.data() + start, w.Size() - start));
        return 1;
    };

    mtxByteWriter head(raw);
    head.U32(uint32_t(project.photo.width)), head.U32(uint32_t(project.photo.height));
    head.U32(uint32_t(project.samples.size()));
    head.U8(project.hasSeed ? 1 : 0), head.U64(project.seed);
    WriteOptions(head, project.options);
    chunk("HEAD", false);

    if (project.photoPng.empty() && !EncodePng(project.photo, project.photoPng, cancel)) {
        project.photoPng.clear();
        return error = cancelled() ? "cancelled" : "the photo cannot be written as PNG", 0;
    }
    raw = project.photoPng;
    chunk("PHOT", false);
    for (auto& sample : project.samples) {
        raw.clear();
        mtxByteWriter s(raw);
        s.Text(sample->path);
        if (sample->png.empty() && !EncodePng(sample->picture, sample->png, cancel)) {
            sample->png.clear();
            return error = cancelled() ? "cancelled"
                                       : "sample " + sample->path + " cannot be written as PNG",
                   0;
        }
        s.Bytes(sample->png.data(), sample->png.size());
        chunk("SMPL", false);
    }
    if (cancelled()) return error = "cancelled", 0;
    raw = project.log.Serialize();
    if (raw.size() > kMaxChunkBytes) return error = "the stamp log is too large to save", 0;
    chunk("LOG ", true);
    if (maps) {
        WriteMaps(project.maps, raw);
        if (raw.size() > kMaxChunkBytes) return error = "the maps are too large to save", 0;
        chunk("MAPS", true);
    }
    if (transforms) {
        WriteTransforms(project, raw);
        chunk("XFRM", false);
    }
    if (light) {
        raw = project.light.Encode();
        chunk("LITE", false);
    }
    if (erasures) {
        raw = project.log.SerializeErasures();
        if (raw.size() > kMaxChunkBytes) return error = "the erasures are too large to save", 0;
        chunk("ERAS", true);
    }
    if (!times.empty()) {
        raw = times;
        chunk("ERAT", true);
    }
    if (cancelled()) return error = "cancelled", 0;
    raw.clear();
    chunk("END ", false);
    return 1;
}

int mtxProjectFile::Read(const uint8_t* data, size_t size, mtxProject& project,
                         std::string& error) {
    ChunkReader chunks(data, size, error);
    Bytes raw;
    if (!chunks.Signature() || !chunks.Next("HEAD", raw)) return 0;
    if (raw.size() != kHeadBytes) return chunks.Fail("chunk HEAD has the wrong size");
    mtxByteReader head(raw.data(), raw.size());
    uint32_t width = head.U32(), height = head.U32(), samples = head.U32();
    project.hasSeed = head.U8() != 0;
    project.seed = head.U64();
    project.options = ReadOptions(head);
    if (width < 1 || height < 1 || width > uint32_t(kMaxSide) || height > uint32_t(kMaxSide) ||
        uint64_t(width) * height > kMaxPhotoPixels)
        return chunks.Fail("HEAD claims a photo of " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels, past the bounds");
    if (samples < 1 || samples > uint32_t(SampleCollection::kMaxSamples))
        return chunks.Fail("HEAD claims " + std::to_string(samples) + " samples (1 to 128)");
    if (!project.options.Valid()) return chunks.Fail("HEAD holds options out of range");

    std::string why;
    project.photoPng.clear();
    if (!chunks.Next("PHOT", raw)) return 0;
    if (!DecodePng(raw.data(), raw.size(), kMaxPhotoPixels, project.photo, why))
        return chunks.Fail("the photo does not decode: " + why);
    if (project.photo.width != int(width) || project.photo.height != int(height))
        return chunks.Fail("the photo is not the size HEAD gives");

    project.samples.clear();
    for (uint32_t i = 0; i < samples; ++i) {
        if (!chunks.Next("SMPL", raw)) return 0;
        auto sample = std::make_unique<mtxProject::Sample>();
        mtxByteReader s(raw.data(), raw.size());
        if (!s.Text(sample->path, kMaxPath))
            return chunks.Fail("sample " + std::to_string(i + 1) + " has no readable path");
        const uint8_t* png = raw.data() + s.Position();
        if (!DecodePng(png, s.Left(), kMaxSamplePixels, sample->picture, why))
            return chunks.Fail("sample " + std::to_string(i + 1) + " (" + sample->path +
                               ") does not decode: " + why);
        project.samples.push_back(std::move(sample));
    }

    if (!chunks.Next("LOG ", raw)) return 0;
    if (!project.log.Parse(raw.data(), raw.size(), int32_t(samples), error)) return 0;
    bool maps = false;
    project.maps.Clear();
    if (!chunks.NextIf("MAPS", raw, maps)) return 0;
    if (maps && !ReadMaps(raw, int(width), int(height), project.maps, why)) return chunks.Fail(why);
    bool present = false;
    project.transforms.clear();
    if (!chunks.NextIf("XFRM", raw, present)) return 0;
    if (present && chunks.version < 3)
        return chunks.Fail("chunk XFRM in a file of version " + std::to_string(chunks.version));
    if (present && !ReadTransforms(raw, project, why)) return chunks.Fail(why);
    project.light = mtxReliefLight{};
    if (!chunks.NextIf("LITE", raw, present)) return 0;
    if (present && chunks.version < 3)
        return chunks.Fail("chunk LITE in a file of version " + std::to_string(chunks.version));
    if (present && !mtxReliefLight::Decode(raw.data(), raw.size(), project.light))
        return chunks.Fail("chunk LITE holds a light out of range");
    if (!chunks.NextIf("ERAS", raw, present)) return 0;
    if (present && chunks.version < 3)
        return chunks.Fail("chunk ERAS in a file of version " + std::to_string(chunks.version));
    if (present && !project.log.ParseErasures(raw.data(), raw.size(), why))
        return chunks.Fail("chunk ERAS: " + why);
    const bool erasures = present;
    if (!chunks.NextIf("ERAT", raw, present)) return 0;
    if (present && (chunks.version < 4 || !erasures))
        return chunks.Fail("chunk ERAT in a file of version " + std::to_string(chunks.version) +
                           (erasures ? "" : " without erasures"));
    if (present && !project.log.ParseErasureTimes(raw.data(), raw.size(), why))
        return chunks.Fail("chunk ERAT: " + why);
    if (!chunks.Next("END ", raw)) return 0;
    if (!raw.empty() || !chunks.AtEnd()) return chunks.Fail("bytes after the END chunk");
    return 1;
}

int mtxProjectFile::Save(mtxProject& project, const std::string& path, std::string& error,
                         const std::atomic<bool>* cancel) {
    Bytes bytes;
    if (!Write(project, bytes, error, cancel)) return error = path + ": " + error, 0;
    if (!mtxOs::ReplaceFile(path, bytes.data(), bytes.size()))
        return error = path + ": " + mtxOs::ErrorText(mtxOs::LastError()), 0;
    return 1;
}

int mtxProjectFile::Load(const std::string& path, mtxProject& project, std::string& error) {
    mtxOs::OpenRequest request;
    request.regularOnly = true;
    int handle = mtxOs::Open(path, request);
    if (handle < 0) return error = path + ": " + mtxOs::ErrorText(mtxOs::LastError()), 0;
    int64_t size = mtxOs::Size(handle);
    Bytes bytes;
    bool read = size >= 0 && uint64_t(size) <= uint64_t(0x7FFFFFFF);
    if (read) {
        bytes.resize(size_t(size));
        read = mtxOs::Read(handle, bytes.data(), bytes.size()) == size;
    }
    mtxOs::Close(handle);
    if (!read) return error = path + ": cannot be read whole", 0;
    if (!Read(bytes.data(), bytes.size(), project, error)) return error = path + ": " + error, 0;
    return 1;
}
