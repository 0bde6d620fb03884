#include "fill/project_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "fill/byte_io.h"
#include "tests/fill/stamp_log_support.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Paint(mtxImage& image, int width, int height, uint32_t seed, bool alpha) {
    std::mt19937 random(seed);
    image.Create(width, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint32_t a = alpha ? random() % 256 : 255;
            image.At(x, y) = (a << 24) | (random() & 0xFFFFFFu);
        }
}

// A small project: a 37 x 23 photo, three samples, a log of 60 stamps.
void MakeProject(mtxProject& p) {
    Paint(p.photo, 37, 23, 1, true);
    for (int i = 0; i < 3; ++i) {
        auto sample = std::make_unique<mtxProject::Sample>();
        sample->path = "/samples/s" + std::to_string(i) + ".png";
        Paint(sample->picture, 8 + i, 16 - i, 10 + uint32_t(i), true);
        p.samples.push_back(std::move(sample));
    }
    p.options.sizeMax = 40;
    p.options.background = 2;
    p.hasSeed = true;
    p.seed = 0x123456789ABCDEFull;
    p.log = stamp_log_test::RandomLog(60, 3, 9);
}

Bytes Written() {
    mtxProject p;
    MakeProject(p);
    Bytes bytes;
    std::string error;
    EXPECT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    return bytes;
}

bool SamePixels(mtxImage& a, mtxImage& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.width) * 4) != 0) return false;
    return true;
}

// Where each chunk starts: type at offset, its body after 16 bytes.
struct ChunkAt {
    size_t offset, stored;
    std::string type;
};
std::vector<ChunkAt> Chunks(const Bytes& bytes) {
    std::vector<ChunkAt> out;
    mtxByteReader r(bytes.data(), bytes.size());
    r.Take(12);
    while (r.Left() >= 20) {
        size_t at = r.Position();
        const uint8_t* type = r.Take(4);
        r.U32();
        uint32_t stored = r.U32();
        r.U32();
        out.push_back({at, stored, std::string(reinterpret_cast<const char*>(type), 4)});
        r.Take(stored + 4);
    }
    return out;
}

// The file with one chunk's unpacked body replaced (stored), framed and
// checksummed anew with zlib's CRC-32.
Bytes WithChunk(const Bytes& bytes, const std::string& type, const Bytes& body) {
    for (const ChunkAt& c : Chunks(bytes)) {
        if (c.type != type) continue;
        Bytes out(bytes.begin(), bytes.begin() + long(c.offset));
        mtxByteWriter w(out);
        w.Bytes(type.data(), 4);
        w.U32(0), w.U32(uint32_t(body.size())), w.U32(uint32_t(body.size()));
        w.Bytes(body.data(), body.size());
        w.U32(uint32_t(crc32(0, out.data() + c.offset, uInt(out.size() - c.offset))));
        out.insert(out.end(), bytes.begin() + long(c.offset + 20 + c.stored), bytes.end());
        return out;
    }
    return {};
}

int Read(const Bytes& bytes, std::string& error) {
    mtxProject p;
    return mtxProjectFile::Read(bytes.data(), bytes.size(), p, error);
}

TEST(ProjectFile, WrittenProjectReadsBackIdentically) {
    mtxProject p;
    MakeProject(p);
    Bytes bytes;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    EXPECT_TRUE(SamePixels(back.photo, p.photo));
    ASSERT_EQ(back.samples.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back.samples[i]->path, p.samples[i]->path);
        EXPECT_TRUE(SamePixels(back.samples[i]->picture, p.samples[i]->picture));
    }
    EXPECT_TRUE(back.options == p.options);
    EXPECT_TRUE(back.hasSeed);
    EXPECT_EQ(back.seed, p.seed);
    EXPECT_EQ(back.log.Serialize(), p.log.Serialize());
    Bytes again;
    ASSERT_EQ(mtxProjectFile::Write(back, again, error), 1);
    EXPECT_EQ(again, bytes);
}

TEST(ProjectFile, EveryChunkCarriesTheStandardCrc32) {
    Bytes bytes = Written();
    std::vector<ChunkAt> chunks = Chunks(bytes);
    std::vector<std::string> types;
    for (const ChunkAt& c : chunks) {
        types.push_back(c.type);
        uint32_t stored = 0;
        std::memcpy(&stored, &bytes[c.offset + 16 + c.stored], 4);
        EXPECT_EQ(stored, uint32_t(crc32(0, &bytes[c.offset], uInt(16 + c.stored)))) << c.type;
    }
    EXPECT_EQ(types,
              (std::vector<std::string>{"HEAD", "PHOT", "SMPL", "SMPL", "SMPL", "LOG ", "END "}));
    EXPECT_EQ(chunks.back().offset + 20, bytes.size());
}

TEST(ProjectFile, RefusesTheFileCutAtEveryByteAndAnyByteChanged) {
    Bytes bytes = Written();
    std::string error;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        Bytes copy(bytes.begin(), bytes.begin() + long(cut));
        ASSERT_EQ(Read(copy, error), 0) << "cut at " << cut;
        ASSERT_FALSE(error.empty());
    }
    std::mt19937 random(3);
    for (size_t at = 0; at < bytes.size(); ++at) {
        Bytes copy = bytes;
        copy[at] ^= uint8_t(1 + random() % 255);
        ASSERT_EQ(Read(copy, error), 0) << "byte " << at;
    }
    Bytes longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(Read(longer, error), 0);
    EXPECT_NE(error.find("after the END"), std::string::npos) << error;
}

TEST(ProjectFile, RefusesCountsAndSizesPastTheirBoundsWithAMessage) {
    Bytes bytes = Written();
    auto head = [&](uint32_t width, uint32_t height, uint32_t samples) {
        Bytes body;
        mtxByteWriter w(body);
        w.U32(width), w.U32(height), w.U32(samples), w.U8(0), w.U64(0);
        for (uint32_t v : {1u, 150u, 4u, 1u, 1u, 1u, 0u, 0u, 0u, 0xFFFFFFFFu}) w.U32(v);
        return WithChunk(bytes, "HEAD", body);
    };
    std::string error;
    EXPECT_EQ(Read(head(37, 23, 3), error), 1) << error;
    EXPECT_EQ(Read(head(37, 23, 129), error), 0);
    EXPECT_NE(error.find("129 samples"), std::string::npos) << error;
    EXPECT_EQ(Read(head(37, 23, 4), error), 0) << "a fourth SMPL is missing";
    EXPECT_EQ(Read(head(70000, 23, 3), error), 0);
    EXPECT_EQ(Read(head(40000, 40000, 3), error), 0);
    EXPECT_EQ(Read(head(38, 23, 3), error), 0) << "the photo is 37 wide";

    Bytes huge = bytes;
    huge[Chunks(bytes)[1].offset + 12] = 0x7F;  // PHOT's unpacked length
    EXPECT_EQ(Read(huge, error), 0);

    // A small deflated chunk that claims half a gigabyte is refused before
    // anything is allocated for it, checksum or not.
    Bytes bomb = WithChunk(bytes, "LOG ", Bytes(100, 0));
    const ChunkAt log = Chunks(bomb)[5];
    ASSERT_EQ(log.type, "LOG ");
    bomb[log.offset + 4] = 1;  // deflated
    for (int i = 0; i < 4; ++i) bomb[log.offset + 12 + size_t(i)] = i == 3 ? 0x20 : 0;
    uint32_t crc = uint32_t(crc32(0, &bomb[log.offset], uInt(16 + log.stored)));
    std::memcpy(&bomb[log.offset + 16 + log.stored], &crc, 4);
    EXPECT_EQ(Read(bomb, error), 0);
    EXPECT_NE(error.find("claims 536870912 bytes from only 100"), std::string::npos) << error;
}

TEST(ProjectFile, RefusesASamplePictureThatWillNotDecode) {
    Bytes bytes = Written();
    Bytes body;
    mtxByteWriter w(body);
    w.Text("/samples/broken.png");
    const uint8_t notPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H'};
    w.Bytes(notPng, sizeof notPng);
    std::string error;
    EXPECT_EQ(Read(WithChunk(bytes, "SMPL", body), error), 0);
    EXPECT_NE(error.find("broken.png"), std::string::npos) << error;
}

TEST(ProjectFile, SavesOverAnOldFileWholeAndLoadsIt) {
    testing_support::TempDir dir;
    std::string path = dir.File("picture.daubry"), error;
    testing_support::WriteFile(path, "old");
    mtxProject p;
    MakeProject(p);
    ASSERT_EQ(mtxProjectFile::Save(p, path, error), 1) << error;
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Load(path, back, error), 1) << error;
    EXPECT_EQ(back.log.Count(), 60u);
    EXPECT_EQ(mtxProjectFile::Load(dir.File("none.daubry"), back, error), 0);
    EXPECT_NE(error.find("none.daubry"), std::string::npos);
    EXPECT_EQ(mtxProjectFile::Save(p, dir.File("no/such/folder.daubry"), error), 0);
}

}  // namespace

TEST(ProjectFile, MapsTravelInTheirOwnChunkAndAProjectWithoutThemOpensInVersionOne) {
    auto version = [](const Bytes& b) { return uint32_t(b[8]) | uint32_t(b[9]) << 8; };
    EXPECT_EQ(version(Written()), 1u);
    mtxProject p;
    MakeProject(p);
    std::mt19937 random(5);
    for (mtxFillMaps::Plane plane : {mtxFillMaps::kProtect, mtxFillMaps::kDetail}) {
        ASSERT_EQ(p.maps.Create(plane, 37, 23), 1);
        for (int i = 0; i < 37 * 23; ++i)
            p.maps.Data(plane)[i] =
                uint8_t(plane == mtxFillMaps::kProtect ? (random() % 7 == 0) * 255 : random());
    }
    p.maps.MarkChanged(0, 0, 36, 22);
    Bytes bytes;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    EXPECT_EQ(version(bytes), 2u);
    std::vector<ChunkAt> chunks = Chunks(bytes);
    ASSERT_EQ(chunks.size(), 8u);
    EXPECT_EQ(chunks[6].type, "MAPS");
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    for (mtxFillMaps::Plane plane : {mtxFillMaps::kProtect, mtxFillMaps::kDetail}) {
        ASSERT_TRUE(back.maps.Has(plane));
        EXPECT_EQ(std::memcmp(back.maps.Data(plane), p.maps.Data(plane), 37 * 23), 0);
    }
    bool any = false;
    for (int x = 0; x < 37; ++x) any |= p.maps.Protected(x, 11);
    EXPECT_EQ(back.maps.AnyProtected(0, 11, 36, 11), any);
    Bytes again;
    ASSERT_EQ(mtxProjectFile::Write(back, again, error), 1);
    EXPECT_EQ(again, bytes);

    // Damaged maps are refused with the chunk's name.
    const Bytes bodies[] = {Bytes{0}, Bytes{4}, Bytes(1 + 37 * 23, 1), Bytes(2 + 37 * 23, 1)};
    for (Bytes body : bodies) {
        if (body.size() > 1) body[0] = body.size() == 1 + 37 * 23 ? 3 : 1;
        EXPECT_EQ(Read(WithChunk(bytes, "MAPS", body), error), 0) << body.size();
        EXPECT_NE(error.find("MAPS"), std::string::npos) << error;
    }
    // Maps of another size than the photo are not the project's.
    ASSERT_EQ(p.maps.Create(mtxFillMaps::kProtect, 36, 23), 1);
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1);
    EXPECT_EQ(version(bytes), 1u);
}

namespace {

// The layers' transforms and the light travel in chunks of version 3, each
// written only when it says something, and damaged ones are refused by name.
TEST(ProjectFile, TransformsAndLightTravelOnlyWhenSetAndAreChecked) {
    auto version = [](const Bytes& b) { return uint32_t(b[8]) | uint32_t(b[9]) << 8; };
    mtxProject p;
    MakeProject(p);
    p.transforms = {{1, 0, 0, 0, 1, 0, 0, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}};
    Bytes bytes;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    EXPECT_EQ(version(bytes), 1u) << "layers at the identity and the light at rest add nothing";
    EXPECT_EQ(Chunks(bytes).size(), 7u);

    p.transforms[1] = {0.8f, -0.6f, 12.5f, 0.6f, 0.8f, -3.0f, 0, 0, 1};
    p.light.on = true, p.light.angle = 300, p.light.strength = 9;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    EXPECT_EQ(version(bytes), 3u);
    std::vector<ChunkAt> chunks = Chunks(bytes);
    ASSERT_EQ(chunks.size(), 9u);
    EXPECT_EQ(chunks[6].type, "XFRM");
    EXPECT_EQ(chunks[7].type, "LITE");
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    EXPECT_EQ(back.transforms, p.transforms);
    EXPECT_EQ(back.light, p.light);

    // A light left off but turned elsewhere is kept too.
    p.transforms.clear();
    p.light.on = false;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    EXPECT_TRUE(back.transforms.empty());
    EXPECT_EQ(back.light, p.light);

    p.transforms = {{2, 0, 5, 0, 2, 5, 0, 0, 1}};
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    auto transforms = [](uint32_t count, std::vector<float> values) {
        Bytes body;
        mtxByteWriter w(body);
        w.U32(count);
        for (float v : values) w.F32(v);
        return body;
    };
    std::vector<float> good = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::vector<float> singular = {1, 2, 0, 2, 4, 0, 0, 0, 1}, nan = good, huge = good;
    nan[2] = std::nanf(""), huge[5] = 1e30f;
    const Bytes damaged[] = {Bytes{},
                             transforms(0, {}),
                             transforms(2, good),
                             transforms(1, singular),
                             transforms(1, nan),
                             transforms(1, huge),
                             transforms(100000, good)};
    for (const Bytes& body : damaged) {
        EXPECT_EQ(Read(WithChunk(bytes, "XFRM", body), error), 0) << body.size();
        EXPECT_NE(error.find("XFRM"), std::string::npos) << error;
    }
    for (size_t at : {0, 4, 8}) {
        Bytes body = p.light.Encode();
        body[at] = 0xEE;
        EXPECT_EQ(Read(WithChunk(bytes, "LITE", body), error), 0) << at;
        EXPECT_NE(error.find("LITE"), std::string::npos) << error;
    }
    // The new chunks in a file that claims an older version are not its own.
    Bytes old = bytes;
    old[8] = 2;
    EXPECT_EQ(Read(old, error), 0);
    EXPECT_NE(error.find("version 2"), std::string::npos) << error;
}

TEST(ProjectFile, ErasuresTravelInTheirOwnChunkOnlyWhenThereAreAny) {
    auto version = [](const Bytes& b) { return uint32_t(b[8]) | uint32_t(b[9]) << 8; };
    mtxProject p;
    MakeProject(p);
    ASSERT_EQ(p.log.Erase(5), 1);
    ASSERT_EQ(p.log.Erase(59), 1);
    Bytes bytes;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    EXPECT_EQ(version(bytes), 3u);
    std::vector<ChunkAt> chunks = Chunks(bytes);
    ASSERT_EQ(chunks.size(), 8u);
    EXPECT_EQ(chunks[6].type, "ERAS");
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    EXPECT_EQ(back.log.ErasedStamps(), (std::vector<uint64_t>{5, 59}));
    Bytes again;
    ASSERT_EQ(mtxProjectFile::Write(back, again, error), 1);
    EXPECT_EQ(again, bytes);

    // A stamp the log does not hold, or one named twice, is refused by name.
    for (uint64_t stamp : {uint64_t(60), uint64_t(5)}) {
        Bytes body;
        mtxByteWriter w(body);
        w.U64(2), w.U64(5), w.U64(stamp);
        EXPECT_EQ(Read(WithChunk(bytes, "ERAS", body), error), 0) << stamp;
        EXPECT_NE(error.find("ERAS"), std::string::npos) << error;
    }
    // Undone, the erasures are not saved and the file is the old version's.
    ASSERT_EQ(p.log.MoveTo({60, p.log.RunCount(), p.log.EndState(), 0}), 1);
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1);
    EXPECT_EQ(version(bytes), 1u);
    EXPECT_EQ(bytes, Written());
}

// Erasures made before stamps that followed them keep when they were made,
// in a chunk of version 4; times that cannot be are refused by name.
TEST(ProjectFile, ErasuresMadeBeforeLaterStampsKeepWhenTheyWereMade) {
    auto version = [](const Bytes& b) { return uint32_t(b[8]) | uint32_t(b[9]) << 8; };
    mtxProject p;
    MakeProject(p);
    ASSERT_EQ(p.log.Erase(41), 1);
    const mtxStampLog more = stamp_log_test::RandomLog(5, 3, 10);
    for (uint64_t i = 0; i < more.Count(); ++i) p.log.Append(more.At(i));
    ASSERT_EQ(p.log.Erase(7), 1);
    ASSERT_EQ(p.log.Erase(62), 1);
    Bytes bytes;
    std::string error;
    ASSERT_EQ(mtxProjectFile::Write(p, bytes, error), 1) << error;
    EXPECT_EQ(version(bytes), 4u);
    std::vector<ChunkAt> chunks = Chunks(bytes);
    ASSERT_EQ(chunks.size(), 9u);
    EXPECT_EQ(chunks[7].type, "ERAT");
    mtxProject back;
    ASSERT_EQ(mtxProjectFile::Read(bytes.data(), bytes.size(), back, error), 1) << error;
    ASSERT_EQ(back.log.ErasedCount(), 3u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(back.log.ErasureStamp(k), p.log.ErasureStamp(k)) << k;
        EXPECT_EQ(back.log.ErasureMadeAt(k), p.log.ErasureMadeAt(k)) << k;
    }
    Bytes again;
    ASSERT_EQ(mtxProjectFile::Write(back, again, error), 1);
    EXPECT_EQ(again, bytes);

    // Times in ascending stamp order (7, 41, 62): one before its stamp was
    // placed, one past the end, and a count that is not the erasures'.
    for (const std::vector<uint64_t>& times :
         {std::vector<uint64_t>{3, 7, 60, 65}, std::vector<uint64_t>{3, 65, 60, 66},
          std::vector<uint64_t>{2, 65, 60}}) {
        Bytes body;
        mtxByteWriter w(body);
        for (uint64_t t : times) w.U64(t);
        EXPECT_EQ(Read(WithChunk(bytes, "ERAT", body), error), 0) << times[1];
        EXPECT_NE(error.find("ERAT"), std::string::npos) << error;
    }
    Bytes old = bytes;
    old[8] = 3;
    EXPECT_EQ(Read(old, error), 0);
    EXPECT_NE(error.find("version 3"), std::string::npos) << error;
}

}  // namespace
