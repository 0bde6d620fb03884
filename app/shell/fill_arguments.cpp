#include "app/shell/fill_arguments.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace {

template <class T>
bool ParseNumber(const std::string& text, T& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    auto [at, fault] = std::from_chars(text.data(), end, value);
    return fault == std::errc() && at == end;
}

bool ParseDecimal(const std::string& text, double& value) {
    if (!ParseNumber(text, value)) return false;
    return std::isfinite(value);
}

std::string Lower(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value after a flag, or a message when there is none.
bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value,
               std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool ParseSide(const std::string& flag, const std::string& text, int32_t low, int32_t high,
               std::optional<int32_t>& out, std::string& error) {
    int32_t value = 0;
    if (!ParseNumber(text, value) || value < low || value > high) {
        error = flag + " takes a whole number from " + std::to_string(low) + " to " +
                std::to_string(high) + ", not '" + text + "'";
        return false;
    }
    out = value;
    return true;
}

bool IsJpegName(const std::string& path) {
    std::string name = Lower(path.substr(path.find_last_of('/') + 1));
    return name.ends_with(".jpg") || name.ends_with(".jpeg");
}

// Going on with a project takes its photo, samples, options and generator,
// so none of them may be given as well.
int CheckResume(const std::vector<std::string>& positional, const mtxFillArguments& out,
                std::string& error) {
    if (!positional.empty())
        return error = "--resume takes the photo from the project, not '" + positional[0] + "'", 0;
    if (out.output.empty()) return error = "no output file given (-o FILE)", 0;
    bool options = !out.samples.empty() || out.seed || out.sizeMin || out.sizeMax || out.overlap ||
                   out.noRotate || out.noMirror || out.noFlip || out.randomSamples ||
                   out.keepColours || out.background != mtxFillArguments::Background::kSettings ||
                   !out.protectMap.empty() || !out.detailMap.empty();
    if (options)
        return error =
                   "--resume goes on with the project's samples, options, maps and seed; "
                   "they cannot be given as well",
               0;
    return 1;
}

}  // namespace

int mtxParseColor(const std::string& text, uint32_t& color) {
    std::string t = Lower(text);
    if (t == "white") return color = 0xFFFFFFFFu, 1;
    if (t == "black") return color = 0xFF000000u, 1;
    if (t == "grey" || t == "gray") return color = 0xFF808080u, 1;
    if (t == "transparent") return color = 0x00000000u, 1;
    if (!t.empty() && t[0] == '#') t.erase(0, 1);
    if (t.size() != 6 && t.size() != 8) return 0;
    for (char c : t)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return 0;
    uint32_t value = 0;
    std::from_chars(t.data(), t.data() + t.size(), value, 16);
    color = t.size() == 6 ? (0xFF000000u | value) : value;
    return 1;
}

int mtxParseFillArguments(const std::vector<std::string>& args, mtxFillArguments& out,
                          std::string& error) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "-h" || a == "--help") {
            out.help = true;
            return 1;
        } else if (a == "-o" || a == "--output") {
            if (!TakeValue(args, i, out.output, error)) return 0;
        } else if (a == "--project") {
            if (!TakeValue(args, i, out.project, error)) return 0;
        } else if (a == "--resume") {
            if (!TakeValue(args, i, out.resume, error)) return 0;
        } else if (a == "--samples") {
            if (!TakeValue(args, i, out.samples, error)) return 0;
        } else if (a == "--protect-map") {
            if (!TakeValue(args, i, out.protectMap, error)) return 0;
        } else if (a == "--detail-map") {
            if (!TakeValue(args, i, out.detailMap, error)) return 0;
        } else if (a == "--seed") {
            uint64_t seed = 0;
            if (!TakeValue(args, i, v, error)) return 0;
            if (!ParseNumber(v, seed))
                return error = "--seed takes a whole number, not '" + v + "'", 0;
            out.seed = seed;
        } else if (a == "--stamps") {
            uint64_t stamps = 0;
            if (!TakeValue(args, i, v, error)) return 0;
            if (!ParseNumber(v, stamps) || stamps == 0)
                return error = "--stamps takes a count above 0, not '" + v + "'", 0;
            out.stamps = stamps;
        } else if (a == "--seconds") {
            double seconds = 0;
            if (!TakeValue(args, i, v, error)) return 0;
            if (!ParseDecimal(v, seconds) || seconds <= 0)
                return error = "--seconds takes a time above 0, not '" + v + "'", 0;
            out.seconds = seconds;
        } else if (a == "--coverage") {
            double percent = 0;
            if (!TakeValue(args, i, v, error)) return 0;
            if (!ParseDecimal(v, percent) || percent <= 0 || percent > 100)
                return error = "--coverage takes a percentage above 0 up to 100, not '" + v + "'",
                       0;
            out.coverage = percent;
        } else if (a == "--mode") {
            if (!TakeValue(args, i, v, error)) return 0;
            if (Lower(v) == "classic")
                out.mode = 0;
            else if (Lower(v) == "fine")
                out.mode = 1;
            else
                return error = "--mode takes classic or fine, not '" + v + "'", 0;
        } else if (a == "--size-min") {
            if (!TakeValue(args, i, v, error) || !ParseSide(a, v, 1, 1024, out.sizeMin, error))
                return 0;
        } else if (a == "--size-max") {
            if (!TakeValue(args, i, v, error) || !ParseSide(a, v, 1, 1024, out.sizeMax, error))
                return 0;
        } else if (a == "--overlap") {
            if (!TakeValue(args, i, v, error) || !ParseSide(a, v, 0, 256, out.overlap, error))
                return 0;
        } else if (a == "--no-rotate") {
            out.noRotate = true;
        } else if (a == "--no-mirror") {
            out.noMirror = true;
        } else if (a == "--no-flip") {
            out.noFlip = true;
        } else if (a == "--random-samples") {
            out.randomSamples = true;
        } else if (a == "--keep-colours" || a == "--keep-colors") {
            out.keepColours = true;
        } else if (a == "--background") {
            if (!TakeValue(args, i, v, error)) return 0;
            if (Lower(v) == "photo") {
                out.background = mtxFillArguments::Background::kPhoto;
            } else if (mtxParseColor(v, out.backgroundColor)) {
                out.background = mtxFillArguments::Background::kColor;
            } else {
                error =
                    "--background takes a colour (#RRGGBB, white, black, grey, transparent) "
                    "or photo, not '" +
                    v + "'";
                return 0;
            }
        } else if (a == "--scale") {
            double scale = 0;
            if (!TakeValue(args, i, v, error)) return 0;
            if (!ParseDecimal(v, scale) || scale <= 0 || scale > 16)
                return error = "--scale takes a factor above 0 up to 16, not '" + v + "'", 0;
            out.scale = scale;
        } else if (a == "--quality") {
            if (!TakeValue(args, i, v, error) || !ParseSide(a, v, 1, 100, out.quality, error))
                return 0;
        } else if (a == "--report") {
            out.report = true;
        } else if (a == "--quiet" || a == "-q") {
            out.quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return 0;
        } else {
            positional.push_back(a);
        }
    }
    if (out.quality && !out.output.empty() && !IsJpegName(out.output))
        return error = "--quality is for a JPEG output (.jpg), not '" + out.output + "'", 0;
    if (!out.resume.empty()) return CheckResume(positional, out, error);
    if (positional.size() != 1) {
        error = positional.empty() ? "no photo given"
                                   : "one photo at a time, not '" + positional[1] + "' as well";
        return 0;
    }
    out.photo = positional[0];
    if (out.output.empty()) return error = "no output file given (-o FILE)", 0;
    if (out.sizeMin && out.sizeMax && *out.sizeMax < *out.sizeMin)
        return error = "--size-max is below --size-min", 0;
    return 1;
}

std::string mtxFillUsage() {
    return R"(Usage: daubry fill PHOTO -o OUT [options]

Fills PHOTO with samples, without a window, and saves the picture as OUT
(.png, .jpg or .bmp, by its extension). Options left out keep your filling
options from the program's settings.

Samples:
  --samples FILE.msc|FOLDER  a saved collection, or every picture in a folder
                             (default: the flowers installed with Daubry)
  --random-samples           choose samples at random instead of by colour
  --keep-colours             keep the samples' own colours

When to stop (the first reached; default: in the fine mode, when the photo
is covered and its details are in; in the classic mode, 95% coverage or
120 seconds):
  --stamps N                 after N samples
  --seconds S                after S seconds of filling
  --coverage PERCENT         once this share of the photo is covered
  It also stops when 10000 steps in a row find no room.

Filling:
  --mode fine|classic        fine: coarse to fine, covering the whole photo and
                             keeping its details and colours; classic: one
                             sample at a time at random points (default: the
                             mode in your settings, fine when none is stored)
  --seed N                   the same seed and options give the same picture
  --size-min N, --size-max N smallest and largest sample side (1..1024); in
                             the fine mode sizes follow the photo unless given
  --overlap N                pixels a sample may reach over a colour border (0..256)
  --no-rotate, --no-mirror, --no-flip
  --background COLOUR|photo  start from a colour (#RRGGBB, white, black, grey,
                             transparent) or from the photo itself
  --protect-map PICTURE      fine mode: no sample goes where this picture (of
                             the photo's size) is dark: pixels at least half
                             opaque and darker than mid-grey; the background
                             shows there
  --detail-map PICTURE       fine mode: smaller samples where this picture (of
                             the photo's size) is light, larger where it is
                             dark; mid-grey (128) changes nothing, white makes
                             them a quarter of the size, black four times
                             (within --size-min and --size-max)

Output:
  --resume FILE.daubry       go on filling a saved project where it stopped,
                             with its photo, samples, options and seed
                             (--stamps then counts the new stamps)
  --scale K                  save the picture K times the photo's size (up
                             to 16), each stamp drawn again with the samples'
                             own pixels
  --quality N                quality of a .jpg output, 1 to 100 (default 92;
                             from 95 up the colours keep full resolution)
  --project FILE.daubry      also save the project (photo, samples, options and
                             every stamp), which 'daubry render' draws again
  --report                   print one JSON line with the run's figures
  -q, --quiet                no progress
  -h, --help                 this text

Exit codes: 0 done, 1 usage, 2 input problem, 3 output problem.
)";
}
