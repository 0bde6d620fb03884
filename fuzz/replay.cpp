// Runs a fuzz target's entry on every file of the folders given, one after
// the other, so that the seed corpus and the files of past crashes are tested
// in the ordinary builds, without libFuzzer. A crash, a sanitizer report or a
// trap in the target ends the run; a folder that is missing or holds no file
// fails it, so that a moved folder cannot turn the test into one that passes
// without looking. Notes beside the files (*.md) are not inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int failed = 0;
    size_t total = 0;
    for (int a = 1; a < argc; ++a) {
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(argv[a], ec))
            if (entry.is_regular_file() && entry.path().extension() != ".md")
                files.push_back(entry.path());
        if (ec || files.empty()) {
            std::fprintf(stderr, "%s: %s\n", argv[a],
                         ec ? ec.message().c_str() : "holds no input file");
            failed = 1;
            continue;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "%s: cannot be read\n", file.c_str());
                failed = 1;
                continue;
            }
            // Named before it runs, so that a crash report says which file.
            std::fprintf(stderr, "%s (%zu bytes)\n", file.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++total;
        }
    }
    std::fprintf(stderr, "%zu inputs replayed\n", total);
    return failed;
}
