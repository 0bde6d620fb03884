#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What `daubry fill` was asked to do, read from its arguments. Options left
// out keep the user's filling options from the settings file.
struct mtxFillArguments {
    enum class Background { kSettings, kColor, kPhoto };

    std::string photo;
    std::string output;
    std::string samples;          // a .msc file or a folder of pictures; empty: the bundled flowers
    std::string project;          // where to save the project beside the picture; empty: none
    std::string resume;           // a project to go on filling, instead of a photo and samples
    std::optional<double> scale;  // the picture saved this many times the photo's size
    std::optional<int32_t> quality;  // of a JPEG output, 1 to 100; none: mtxJpegDefaultQuality
    std::optional<uint64_t> seed;
    // Pictures of the photo's size that steer the fine mode: where it may not
    // stamp, and where it stamps finer or coarser.
    std::string protectMap, detailMap;

    // When to stop; none given means, in the Classic mode, kDefaultCoverage
    // percent or kDefaultSeconds, and in the Fine mode the end of its run.
    static constexpr double kDefaultCoverage = 95, kDefaultSeconds = 120;
    std::optional<uint64_t> stamps;
    std::optional<double> seconds;
    std::optional<double> coverage;

    std::optional<uint32_t> mode;  // SampleCollection::kModeClassic or kModeFine
    std::optional<int32_t> sizeMin, sizeMax, overlap;
    bool noRotate = false, noMirror = false, noFlip = false;
    bool randomSamples = false, keepColours = false;
    Background background = Background::kSettings;
    uint32_t backgroundColor = 0xFFFFFFFFu;  // 0xAARRGGBB, with kColor

    bool report = false, quiet = false, help = false;
};

// Reads the arguments that follow "fill". 1 on success (help set when asked
// for); 0 with a message naming the argument at fault.
int mtxParseFillArguments(const std::vector<std::string>& args, mtxFillArguments& out,
                          std::string& error);

// A colour as "#RRGGBB", "RRGGBB", "#AARRGGBB" or one of white, black, grey,
// transparent. 1 and 0xAARRGGBB in color, or 0.
int mtxParseColor(const std::string& text, uint32_t& color);

// The text of `daubry fill --help`.
std::string mtxFillUsage();
