#include "fill/file_lawn_col.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "image/file_memory.h"
#include "tests/support/test_support.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// bytes followed by zlib's CRC-32 of them, little-endian.
std::string WithCrc(std::string bytes) {
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()));
    for (int k = 0; k < 4; ++k) bytes.push_back(char((crc >> (8 * k)) & 0xFF));
    return bytes;
}

// A .msc file put together from the format table, byte for byte: magic, the reserved bytes,
// each entry as UTF-16LE code units and a zero unit, then zlib's CRC-32 of everything before.
std::string Msc(const std::vector<std::u16string>& entries, std::string reserved = "",
                std::u16string tail = u"") {
    std::string bytes = "MLCL";
    reserved.resize(16, '\0');
    bytes += reserved;
    auto put = [&](char16_t u) {
        bytes.push_back(char(u & 0xFF));
        bytes.push_back(char(u >> 8));
    };
    for (const std::u16string& e : entries) {
        for (char16_t u : e) put(u);
        put(0);
    }
    for (char16_t u : tail) put(u);
    return WithCrc(bytes);
}

// Reads bytes as a collection through a memory file.
int Read(const std::string& bytes, mtxFileLawnCol& file) {
    mtxFileMemory memory(0);
    memory.Attach(const_cast<char*>(bytes.data()), uint32_t(bytes.size()), 0);
    return file.ReadCollection(memory);
}

std::vector<std::string> Entries(const mtxFileLawnCol& file) {
    return std::vector<std::string>(file.entries, file.entries + file.entryCount);
}

TEST(FileLawnCol, ReadsAFileBuiltFromTheFormatTable) {
    // Reserved bytes are not interpreted, only checksummed.
    std::string bytes = Msc({u"Rose.png", u"ros\u00e9.png", u"\U0001F338 bloom.PNG"}, "reserved!");
    mtxFileLawnCol file;
    ASSERT_EQ(Read(bytes, file), 1) << file.error;
    EXPECT_EQ(Entries(file), (std::vector<std::string>{"Rose.png", "ros\xC3\xA9.png",
                                                       "\xF0\x9F\x8C\xB8 bloom.PNG"}));
}

TEST(FileLawnCol, HeaderAndChecksumAloneIsAnEmptyCollection) {
    std::string bytes = Msc({});
    ASSERT_EQ(bytes.size(), 24u);
    mtxFileLawnCol file;
    EXPECT_EQ(Read(bytes, file), 1) << file.error;
    EXPECT_EQ(file.entryCount, 0);
}

TEST(FileLawnCol, ReadsUpToTheCaps) {
    std::vector<std::u16string> many;
    for (int i = 0; i < 127; ++i) many.push_back(u"s" + std::u16string(1, char16_t(u'A' + i % 26)));
    many.push_back(std::u16string(4096, u'x'));
    mtxFileLawnCol file;
    ASSERT_EQ(Read(Msc(many), file), 1) << file.error;
    EXPECT_EQ(file.entryCount, 128);
    EXPECT_EQ(file.entries[127].size(), 4096u);
}

TEST(FileLawnCol, RefusesEveryDamagedFile) {
    std::string good = Msc({u"a.png", u"b.png"});
    std::string badMagic = good;
    badMagic[3] = 'X';
    std::string badCrc = good;
    badCrc.back() ^= 1;
    std::string flipped = good;
    flipped[22] ^= 0x40;  // a bit of the first entry
    std::vector<std::u16string> tooMany(129, u"x.png");
    for (size_t i = 0; i < tooMany.size(); ++i) tooMany[i] = u"s" + std::u16string(i + 1, u'x');
    std::string huge = WithCrc("MLCL" + std::string(16, '\0') + std::string((1 << 20) - 20, 'a'));
    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "too short"},
        {"19 bytes", good.substr(0, 19), "too short"},
        {"20 bytes", good.substr(0, 20), "too short"},
        {"22 bytes", WithCrc(good.substr(0, 18)).substr(0, 22), "too short"},
        {"23 bytes", good.substr(0, 23), "too short"},
        {"magic", badMagic, "not a sample collection"},
        {"odd length", good + "x", "odd length"},
        {"odd length, checksum right", WithCrc(good.substr(0, 21)), "odd length"},
        {"checksum", badCrc, "checksum"},
        {"content", flipped, "checksum"},
        {"unterminated tail", Msc({u"a.png"}, "", u"b.png"), "terminator"},
        {"129 entries", Msc(tooMany), "more than 128"},
        {"long entry", Msc({std::u16string(4097, u'x')}), "longer than 4096"},
        {"lone high surrogate", Msc({u"a\xD800.png"}), "UTF-16"},
        {"high surrogate last", Msc({u"a\xD83C"}), "UTF-16"},
        {"lone low surrogate", Msc({u"\xDC00"}), "UTF-16"},
        {"swapped pair", Msc({u"\xDF38\xD83C"}), "UTF-16"},
        {"over 1 MiB", huge, "1 MiB"},
    };
    for (const Case& c : cases) {
        mtxFileLawnCol file;
        file.AddEntry("left over");
        EXPECT_EQ(Read(c.bytes, file), 0) << c.what;
        EXPECT_EQ(file.entryCount, 0) << c.what;
        EXPECT_NE(file.error.find(c.reason), std::string::npos) << c.what << ": " << file.error;
    }
}

// A random entry of printable text from several planes, 1 to 300 code points.
std::string RandomEntry(std::mt19937& random) {
    static const char32_t ranges[][2] = {
        {0x20, 0x7E}, {0xA0, 0x24F}, {0x3040, 0x30FF}, {0xE000, 0xFFFD}, {0x1F300, 0x1F64F}};
    std::string out;
    int n = 1 + int(random() % 300);
    for (int i = 0; i < n; ++i) {
        const auto& r = ranges[random() % 5];
        char32_t c = r[0] + random() % (r[1] - r[0] + 1);
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out += {char(0xE0 | c >> 12), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            out += {char(0xF0 | c >> 18), char(0x80 | ((c >> 12) & 0x3F)),
                    char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

TEST(FileLawnCol, WrittenEntriesReadBackTheSame) {
    std::mt19937 random(13);
    for (int round = 0; round < 20; ++round) {
        mtxFileLawnCol out;
        int n = round == 0 ? 0 : round == 1 ? 128 : int(random() % 40);
        for (int i = 0; i < n; ++i) out.AddEntry(RandomEntry(random));
        mtxFileMemory memory;
        ASSERT_EQ(out.WriteCollection(memory), 1) << out.error;
        std::string bytes(reinterpret_cast<const char*>(memory.Data()), size_t(memory.GetLength()));
        // zlib agrees with the checksum we wrote.
        EXPECT_EQ(WithCrc(bytes.substr(0, bytes.size() - 4)), bytes);
        mtxFileLawnCol in;
        ASSERT_EQ(Read(bytes, in), 1) << in.error;
        EXPECT_EQ(Entries(in), Entries(out));
    }
}

TEST(FileLawnCol, WriterRefusesWhatItCannotStore) {
    struct Case {
        std::string entry;
        const char* reason;
    } cases[] = {
        {"", "empty"},
        {"bad\xFFutf8.png", "UTF-16"},
        {std::string("nul\0.png", 8), "UTF-16"},
        {std::string(4097, 'x'), "longer than 4096"},
    };
    for (const Case& c : cases) {
        mtxFileLawnCol file;
        file.AddEntry("fine.png");
        file.AddEntry(c.entry);
        mtxFileMemory memory;
        EXPECT_EQ(file.WriteCollection(memory), 0) << c.reason;
        EXPECT_NE(file.error.find(c.reason), std::string::npos) << file.error;
        EXPECT_EQ(file.entryCount, 2) << "a failed write keeps the entries";
    }
    mtxFileLawnCol full;
    for (int i = 0; i < 128; ++i) EXPECT_EQ(full.AddEntry("x"), 1);
    EXPECT_EQ(full.AddEntry("x"), 0);
    EXPECT_EQ(full.entryCount, 128);
}

TEST(FileLawnCol, BareNamesOnlyWhenEverySampleLiesBesideTheFile) {
    mtxFileLawnCol file("/home/ann/Samples/Flowers.msc");
    EXPECT_EQ(file.folder, "/home/ann/Samples");
    file.AddEntry("/home/ann/Samples/Rose.png");
    file.AddEntry("/home/ann/Samples/./tulip.JPG");
    std::string stored[mtxFileLawnCol::kMaxEntries];
    file.StoredForms(stored);
    EXPECT_EQ(stored[0], "Rose.png");
    EXPECT_EQ(stored[1], "tulip.JPG");

    // Folders compare exactly: another case is another folder.
    file.AddEntry("/home/ann/samples/leaf.png");
    file.StoredForms(stored);
    EXPECT_EQ(stored[0], "/home/ann/Samples/Rose.png");
    EXPECT_EQ(stored[1], "/home/ann/Samples/tulip.JPG");
    EXPECT_EQ(stored[2], "/home/ann/samples/leaf.png");
}

TEST(FileLawnCol, ResolvesBareNamesInTheFolderAndRefusesOthers) {
    mtxFileLawnCol file("/data/Col/set.msc");
    for (const char* e : {"Rose.PNG", "/abs/Leaf.png", "sub/x.png", "../x.png", "..", ".", ""})
        file.AddEntry(e);
    std::string reason;
    EXPECT_EQ(file.ResolveEntry(0, reason), "/data/Col/Rose.PNG");
    EXPECT_EQ(file.ResolveEntry(1, reason), "/abs/Leaf.png");
    for (int i = 2; i < file.entryCount; ++i) {
        EXPECT_EQ(file.ResolveEntry(i, reason), "") << file.entries[i];
        EXPECT_NE(reason.find("/data/Col/set.msc"), std::string::npos) << reason;
    }
}

TEST(FileLawnCol, RoundTripsOnDiskInBothForms) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("Other"));
    for (bool mixed : {false, true}) {
        mtxFileLawnCol out(dir.File("Set.msc"));
        out.AddEntry(dir.File("Rose.png"));
        out.AddEntry(dir.File("rose.png"));
        if (mixed) out.AddEntry(dir.File("Other/Leaf.png"));
        ASSERT_EQ(out.WriteCollection(), 1) << out.error;

        mtxFileLawnCol in(dir.File("Set.msc"));
        ASSERT_EQ(in.ReadCollection(), 1) << in.error;
        ASSERT_EQ(in.entryCount, out.entryCount);
        EXPECT_EQ(in.entries[0], mixed ? dir.File("Rose.png") : "Rose.png");
        std::string reason;
        for (int i = 0; i < in.entryCount; ++i)
            EXPECT_EQ(in.ResolveEntry(i, reason), out.entries[i]);
    }
}

TEST(FileLawnCol, ReadingOpensNothingButRegularFilesReadOnly) {
    TempDir dir;
    mtxFileLawnCol missing(dir.File("none.msc"));
    EXPECT_EQ(missing.ReadCollection(), 0);
    EXPECT_NE(missing.error.find("none.msc"), std::string::npos) << missing.error;
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.msc"))) << "reading created the file";

    // An installed collection is read-only.
    WriteFile(dir.File("installed.msc"), Msc({u"a.png"}));
    chmod(dir.File("installed.msc").c_str(), 0444);
    mtxFileLawnCol installed(dir.File("installed.msc"));
    EXPECT_EQ(installed.ReadCollection(), 1) << installed.error;

    // A FIFO without a writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo(dir.File("pipe.msc").c_str(), 0666), 0);
    mtxFileLawnCol pipe(dir.File("pipe.msc"));
    EXPECT_EQ(pipe.ReadCollection(), 0);
    mtxFileLawnCol folder(dir.Path());
    EXPECT_EQ(folder.ReadCollection(), 0);
    mtxFileLawnCol device("/dev/zero");
    EXPECT_EQ(device.ReadCollection(), 0);
}

std::vector<std::string> FolderListing(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileLawnCol, AFailedSaveLeavesTheOldFileAsItWas) {
    TempDir dir;
    std::string path = dir.File("set.msc");
    std::string old = Msc({u"old.png"});
    WriteFile(path, old);

    mtxFileLawnCol file(path);
    std::string longName = "/elsewhere/" + std::string(4000, 'n');
    for (int i = 0; i < 100; ++i) file.AddEntry(longName + std::to_string(i));

    // Writing stops midway: the file size limit ends the write after 64 KiB.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    int result = file.WriteCollection();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(result, 0);
    EXPECT_NE(file.error.find("could not be saved"), std::string::npos) << file.error;
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"set.msc"});

    // Without the limit the same save goes through.
    EXPECT_EQ(file.WriteCollection(), 1) << file.error;
    EXPECT_GT(ReadFile(path).size(), 65536u);

    mtxFileLawnCol nowhere(dir.File("missing/set.msc"));
    nowhere.AddEntry("/x.png");
    EXPECT_EQ(nowhere.WriteCollection(), 0);
    EXPECT_NE(nowhere.error.find("missing/set.msc"), std::string::npos) << nowhere.error;
}

TEST(FileLawnCol, SavingKeepsPermissionsAndLinks) {
    TempDir dir;
    std::string real = dir.File("real.msc"), link = dir.File("link.msc");
    WriteFile(real, Msc({}));
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    mtxFileLawnCol file(link);
    file.AddEntry(dir.File("a.png"));
    ASSERT_EQ(file.WriteCollection(), 1) << file.error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    mtxFileLawnCol in(real);
    ASSERT_EQ(in.ReadCollection(), 1);
    EXPECT_EQ(Entries(in), std::vector<std::string>{"a.png"});
}

}  // namespace
