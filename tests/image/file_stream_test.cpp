#include "image/file_stream.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::string Pattern(size_t n, uint32_t seed = 1) {
    std::string s(n, '\0');
    std::mt19937 rng(seed);
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

constexpr uint32_t kCreateWrite = mtxFile::kCreate | mtxFile::kReadWrite;

TEST(FileStream, ReadReturnsAtMostOneBufferPerCall) {
    TempDir dir;
    std::string data = Pattern(100000);
    WriteFile(dir.File("a"), data);
    auto s = std::make_unique<mtxFileStream64K>();
    ASSERT_EQ(s->Open(dir.File("a"), 0), 1);
    std::vector<char> buf(100000);
    EXPECT_EQ(s->Read(buf.data(), 100000), 65536u);
    EXPECT_EQ(s->Read(buf.data() + 65536, 100000), 100000u - 65536u);
    EXPECT_EQ(std::string(buf.data(), buf.size()), data);
    EXPECT_EQ(s->Read(buf.data(), 10), 0u);
    // Small reads after a Seek back come from the right place.
    s->Seek(70000, 0);
    char c;
    EXPECT_EQ(s->Read(&c, 1), 1u);
    EXPECT_EQ(c, data[70000]);
}

TEST(FileStream, FullBufferStaysPendingUntilWriteBack) {
    TempDir dir;
    std::string data = Pattern(65537);
    {
        auto s = std::make_unique<mtxFileStream64K>();
        ASSERT_EQ(s->Open(dir.File("a"), kCreateWrite), 1);
        EXPECT_EQ(s->Write(data.data(), 65536), 1);
        EXPECT_EQ(s->GetLength(), 0);  // nothing on disk yet
        EXPECT_EQ(s->PendingBytes(), 65536u);
    }
    EXPECT_EQ(ReadFile(dir.File("a")), data.substr(0, 65536));
    {
        auto s = std::make_unique<mtxFileStream64K>();
        ASSERT_EQ(s->Open(dir.File("b"), kCreateWrite), 1);
        EXPECT_EQ(s->Write(data.data(), 65537), 1);
        EXPECT_EQ(s->GetLength(), 65536);  // one full block written
        EXPECT_EQ(s->PendingBytes(), 1u);
        // From the end, pending bytes do not count.
        EXPECT_EQ(s->Seek(0, 2), 65536);
    }
    EXPECT_EQ(ReadFile(dir.File("b")), data);
}

TEST(FileStream, CloseLosesPendingBytesDestructionWritesThem) {
    TempDir dir;
    {
        auto s = std::make_unique<mtxFileStream64K>();
        ASSERT_EQ(s->Open(dir.File("closed"), kCreateWrite), 1);
        s->Write("abc", 3);
        s->Close();
    }
    EXPECT_EQ(ReadFile(dir.File("closed")), "");
    {
        auto s = std::make_unique<mtxFileStream64K>();
        ASSERT_EQ(s->Open(dir.File("kept"), kCreateWrite), 1);
        s->Write("abc", 3);
    }
    EXPECT_EQ(ReadFile(dir.File("kept")), "abc");
}

TEST(FileStream, MixedSeeksReadsAndWritesMatchAPlainFile) {
    // The stream must behave like direct file access whatever the order of
    // operations; a string models the file.
    TempDir dir;
    std::string model;
    std::mt19937 rng(7);
    {
        auto s = std::make_unique<mtxFileStream64K>();
        ASSERT_EQ(s->Open(dir.File("a"), kCreateWrite), 1);
        uint64_t pos = 0;
        for (int step = 0; step < 400; ++step) {
            int op = rng() % 3;
            if (op == 0) {
                uint32_t n = 1 + rng() % (rng() % 4 == 0 ? 150000 : 3000);
                std::string bytes = Pattern(n, rng());
                ASSERT_EQ(s->Write(bytes.data(), n), 1);
                if (model.size() < pos + n) model.resize(pos + n, '\0');
                model.replace(pos, n, bytes);
                pos += n;
            } else if (op == 1) {
                uint32_t n = 1 + rng() % 5000;
                std::string got(n, '\0');
                uint32_t r = s->Read(got.data(), n);
                uint64_t expect =
                    pos >= model.size() ? 0 : std::min<uint64_t>(n, model.size() - pos);
                ASSERT_EQ(r, expect) << "step " << step;
                ASSERT_EQ(got.substr(0, r), model.substr(pos, r)) << "step " << step;
                pos += r;
            } else {
                pos = model.empty() ? 0 : rng() % (model.size() + 100);
                s->Seek(static_cast<int64_t>(pos), 0);
            }
        }
    }
    EXPECT_EQ(ReadFile(dir.File("a")), model);
}

TEST(FileStream, WriteFailureIsReported) {
    auto s = std::make_unique<mtxFileStream64K>();
    if (!s->Open("/dev/full", mtxFile::kWrite)) GTEST_SKIP() << "no /dev/full";
    std::string data = Pattern(70000);
    EXPECT_EQ(s->Write(data.data(), 70000), 0);
    EXPECT_EQ(s->Flush(), 0);
}

}  // namespace
