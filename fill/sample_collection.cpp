#include "fill/sample_collection.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>
#include <vector>

#include "base/application.h"
#include "fill/color_key.h"
#include "fill/file_lawn_col.h"
#include "fill/message_sink.h"
#include "image/image.h"
#include "image/io/image_load.h"
#include "platform/os_file.h"
#include "platform/path.h"
#include "platform/text.h"
#include "render/create_texture.h"
#include "render/image_editor_device.h"

namespace {

constexpr const char* kSection = "sm";
constexpr const char* kPathSection = "sml";

// The stored value as a signed number, or fallback when it is missing.
int32_t ReadOr(mtxRegistry& settings, const char* name, int32_t fallback) {
    uint32_t value;
    return settings.GetInt(kSection, name, value) ? static_cast<int32_t>(value) : fallback;
}

// Whether path opens for reading; false with the system's reason and the path in why.
bool CanOpen(const std::string& path, std::string& why) {
    mtxOs::OpenRequest request;
    request.closeOnExec = true;
    request.regularOnly = true;
    int handle = mtxOs::Open(path, request);
    if (handle < 0) {
        why = mtxOs::ErrorText(mtxOs::LastError()) + ": " + path;
        return false;
    }
    mtxOs::Close(handle);
    return true;
}

}  // namespace

SampleCollection::~SampleCollection() {
    SaveOptions();
    ClearSamples();
}

void SampleCollection::LoadOptions() {
    if (mtxApplication* app = mtxGetApp()) LoadOptions(app->settings);
}

void SampleCollection::SaveOptions() {
    if (mtxApplication* app = mtxGetApp()) SaveOptions(app->settings);
}

void SampleCollection::LoadOptions(mtxRegistry& settings) {
    // A missing or negative "opt" means everything on: all three
    // transformations, colour matching and recolouring.
    int32_t opt = ReadOr(settings, "opt", -1);
    bool all = opt < 0;
    rotate = all || (opt & 1) ? 1 : 0;
    flip = all || (opt & 2) ? 1 : 0;
    mirror = all || (opt & 4) ? 1 : 0;
    uint32_t choose = static_cast<uint32_t>(opt) & 0xF00;
    uint32_t color = static_cast<uint32_t>(opt) & 0xF000;
    chooseMode = all || choose > kChooseRandom ? kChooseColorMatch : choose;
    colorMode = all || color > kColorKeep ? kColorRecolor : color;

    sizeMin = std::clamp(ReadOr(settings, "min", 1), 1, 1024);
    sizeMax = std::clamp(ReadOr(settings, "max", 150), sizeMin, 1024);
    overlap = std::clamp(ReadOr(settings, "ovl", 4), 0, 256);
    background = std::clamp(ReadOr(settings, "bg", 0), 0, 2);
    backgroundColor = static_cast<uint32_t>(ReadOr(settings, "bg_color", -1));
    // Settings from before the modes had none: they get the Fine mode.
    fillMode = ReadOr(settings, "mode", int32_t(kModeFine)) == int32_t(kModeClassic) ? kModeClassic
                                                                                     : kModeFine;
    autoSize = ReadOr(settings, "auto", 1) != 0 ? 1 : 0;
    speed = ReadOr(settings, "spd", int32_t(kSpeedFast)) == int32_t(kSpeedCalm) ? kSpeedCalm
                                                                                : kSpeedFast;
}

void SampleCollection::SaveOptions(mtxRegistry& settings) const {
    uint32_t opt =
        colorMode | chooseMode | (mirror ? 4u : 0u) | (flip ? 2u : 0u) | (rotate ? 1u : 0u);
    settings.SetInt(kSection, "opt", opt);
    settings.SetInt(kSection, "min", static_cast<uint32_t>(sizeMin));
    settings.SetInt(kSection, "max", static_cast<uint32_t>(sizeMax));
    settings.SetInt(kSection, "ovl", static_cast<uint32_t>(overlap));
    settings.SetInt(kSection, "bg", static_cast<uint32_t>(background));
    settings.SetInt(kSection, "bg_color", backgroundColor);
    settings.SetInt(kSection, "mode", fillMode);
    settings.SetInt(kSection, "auto", autoSize);
    settings.SetInt(kSection, "spd", speed);
}

void SampleCollection::SavePaths(mtxRegistry& settings) const {
    if (fromProject) return;
    std::vector<const std::string*> kept;
    for (int32_t i = 0; i < count; ++i)
        if (mtxOs::IsRegularFile(samples[i].path)) kept.push_back(&samples[i].path);
    if (count > 0 && kept.empty()) return;
    settings.SetInt(kPathSection, "n", static_cast<uint32_t>(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i)
        settings.SetString(kPathSection, std::to_string(i), *kept[i]);
}

int SampleCollection::LoadPaths(mtxRegistry& settings) {
    uint32_t stored = 0;
    if (!settings.GetInt(kPathSection, "n", stored)) return -1;
    // A count from a damaged file reads no further than a full collection.
    int32_t entries = static_cast<int32_t>(std::min(stored, static_cast<uint32_t>(kMaxSamples)));
    for (int32_t i = 0; i < entries; ++i) {
        std::string path;
        if (settings.GetString(kPathSection, std::to_string(i), path)) AddSample(path);
    }
    return entries;
}

// Samples.

SampleCollection::Sample& SampleCollection::Sample::operator=(Sample&& other) noexcept {
    if (this == &other) return *this;
    Release();
    texture = std::exchange(other.texture, nullptr);
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    name = std::move(other.name);
    path = std::move(other.path);
    other.name.clear();
    other.path.clear();
    viewScrollX = std::exchange(other.viewScrollX, 0);
    viewScrollY = std::exchange(other.viewScrollY, 0);
    scale = std::exchange(other.scale, 0.0f);
    std::copy(other.key, other.key + 3, key);
    std::copy(other.meanColor, other.meanColor + 3, meanColor);
    return *this;
}

void SampleCollection::Sample::Release() {
    if (texture) texture->Release();
    texture = nullptr;
    width = height = 0;
    name.clear();
    path.clear();
}

void SampleCollection::Bind(mtxImageEditorDevice& editor, mtxMessageSink* sink) {
    owner = &editor;
    messages = sink;
    LoadOptions();
}

void SampleCollection::Tell(const std::string& text) {
    // Names come from folders and collection files: one line each, whatever they hold.
    if (messages) {
        messages->Message(mtxPrintable(text));
    } else {
        mtxMessagePrinter printer;
        printer.Message(text);
    }
}

bool SampleCollection::IsPresent(const std::string& path) const {
    for (int32_t i = 0; i < count; ++i)
        if (samples[i].path == path) return true;
    return false;
}

int SampleCollection::AddSample(const std::string& path) {
    if (count >= kMaxSamples || IsPresent(path)) return 0;
    changed = 1;
    fromProject = 0;
    if (!LoadSample(samples[count], path)) return 0;
    selected = count;
    count += 1;
    return 1;
}

int SampleCollection::AddSamplePicture(mtxImage& picture, const std::string& path) {
    if (count >= kMaxSamples || IsPresent(path)) return 0;
    changed = 1;
    fromProject = 0;
    Sample& sample = samples[count];
    if (picture.IsEmpty() || !MakeSample(sample, picture, mtxPath(path).File())) return 0;
    sample.name = mtxAsciiLower(mtxPath(path).Name());
    sample.path = path;
    sample.viewScrollX = sample.viewScrollY = 0;
    selected = count;
    count += 1;
    return 1;
}

int SampleCollection::ReplaceWithSample(const std::string& path) {
    Sample fresh;
    if (!LoadSample(fresh, path)) return 0;
    ClearSamples();
    samples[0] = std::move(fresh);
    count = 1;
    selected = 0;
    changed = 1;
    return 1;
}

int SampleCollection::LoadSample(Sample& sample, const std::string& path) {
    std::string file = mtxPath(path).File();
    // The loaders would wait on a FIFO for a writer that never comes.
    if (FileExists(path) && !mtxOs::IsRegularFile(path)) {
        Tell("Sample " + file + " is not a picture file; it was not added.");
        return 0;
    }
    // A file that cannot be opened is told here, in the sample's one message: the loader's
    // own open would show its reason in a message box of its own besides.
    if (std::string why; !CanOpen(path, why)) {
        Tell("Sample " + file + " cannot be loaded (" + why + "); it was not added.");
        return 0;
    }
    mtxImage picture;
    std::string reason;
    if (!mtxImageLoad(picture, path, 0, &reason) || picture.IsEmpty()) {
        if (reason.empty()) reason = "it is not a picture Daubry can read";
        Tell("Sample " + file + " cannot be loaded (" + reason + "); it was not added.");
        return 0;
    }
    if (!MakeSample(sample, picture, file)) return 0;
    sample.name = mtxAsciiLower(mtxPath(path).Name());
    sample.path = path;
    sample.viewScrollX = sample.viewScrollY = 0;
    return 1;
}

namespace {

// No device makes textures beyond this side; it also keeps the rounding to powers of two safe.
constexpr int kMaxSide = 1 << 16;

// The largest distance from the picture's centre (width / 2, height / 2) to a pixel whose alpha
// exceeds the threshold; 0 without one. In each row only the outermost such pixels can be the
// farthest.
double OpaqueRadius(mtxImage& picture, uint32_t threshold) {
    double cx = picture.width * 0.5, cy = picture.height * 0.5;
    double farthest = 0;
    for (int y = 0; y < picture.height; ++y) {
        const mtxColor* row = picture.Row(y);
        int left = 0, right = picture.width - 1;
        while (left <= right && mtxAlpha(row[left]) <= threshold) ++left;
        if (left > right) continue;
        while (mtxAlpha(row[right]) <= threshold) --right;
        double dy = y - cy;
        double dx = std::max(std::abs(left - cx), std::abs(right - cx));
        farthest = std::max(farthest, dx * dx + dy * dy);
    }
    return std::sqrt(farthest);
}

// The picture centred in a transparent black picture of width x height.
void Centre(mtxImage& picture, mtxImage& out, int width, int height) {
    out.Create(width, height, 0);
    int x0 = (width - picture.width) / 2, y0 = (height - picture.height) / 2;
    for (int y = 0; y < picture.height; ++y)
        std::copy(picture.Row(y), picture.Row(y) + picture.width, out.Row(y0 + y) + x0);
}

}  // namespace

int SampleCollection::MakeSample(Sample& sample, mtxImage& picture, const std::string& file) {
    double radius = OpaqueRadius(picture, kOpaqueAlpha);
    if (!(radius > 0)) {
        Tell("Sample " + file +
             " has no opaque pixel (alpha above 10) away from its centre; it was not added.");
        return 0;
    }
    IDirect3DDevice9* device = owner ? owner->GetDevice() : nullptr;
    const D3DCAPS9* caps = owner && owner->dx ? &owner->dx->caps : nullptr;
    if (picture.width > kMaxSide || picture.height > kMaxSide) {
        Tell("Sample " + file + " is too big for your hardware");
        return 0;
    }
    uint32_t width = std::bit_ceil(uint32_t(picture.width));
    uint32_t height = std::bit_ceil(uint32_t(picture.height));
    if (caps && (width > caps->MaxTextureWidth || height > caps->MaxTextureHeight)) {
        Tell("Sample " + file + " is too big for your hardware");
        return 0;
    }
    IDirect3DTexture9* texture = nullptr;
    if (width == uint32_t(picture.width) && height == uint32_t(picture.height)) {
        texture = mtxCreateTexture(device, picture);
    } else {
        mtxImage padded;
        Centre(picture, padded, int(width), int(height));
        texture = mtxCreateTexture(device, padded);
    }
    if (!texture) {
        Tell("Sample " + file +
             " could not be made into a texture on the graphics device; it "
             "was not added.");
        return 0;
    }
    sample.texture = texture;
    sample.width = int32_t(width);
    sample.height = int32_t(height);
    double m = std::min(width, height);
    sample.scale = float(std::sqrt(2.0 * (m / 2) * (m / 2)) / radius);

    mtxColorHistogram histogram;
    picture.Histogram(histogram);
    for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int v = 0; v < 256; ++v) sum += double(v) * histogram.counts[c + 1][v];
        // The radius found an opaque pixel, so the histogram counted at least one.
        sample.meanColor[c] = float(sum / histogram.totals[c] / 255.0);
    }
    mcvColorKey(sample.meanColor, sample.key);
    return 1;
}

void SampleCollection::RemoveSample(int32_t index) {
    if (index < 0 || index >= count) return;
    changed = 1;
    fromProject = 0;
    samples[index].Release();
    for (int32_t i = index; i + 1 < count; ++i) samples[i] = std::move(samples[i + 1]);
    count -= 1;
    if (selected > index)
        selected -= 1;
    else if (selected == index)
        selected = std::min(selected, count - 1);
    selected = std::clamp(selected, 0, std::max(count - 1, 0));
}

void SampleCollection::ClearSamples() {
    fromProject = 0;
    for (int32_t i = 0; i < count; ++i) samples[i].Release();
    selected = 0;
    count = 0;
}

SampleCollection::Sample* SampleCollection::MatchSample(float y, float cb, float cr,
                                                        int32_t& index) {
    Sample* best = nullptr;
    float bestDistance = 1000.0f;
    for (int32_t i = 0; i < count; ++i) {
        const float* k = samples[i].key;
        float d0 = k[0] - y, d1 = k[1] - cb, d2 = k[2] - cr;
        float d = std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
        if (d < bestDistance) {
            bestDistance = d;
            index = i;
            best = &samples[i];
        }
    }
    return best;
}

// Collection files.

int SampleCollection::LoadCollection(const std::string& path) {
    mtxFileLawnCol file(path);
    if (!file.ReadCollection()) {
        Tell(file.error);
        return 0;
    }
    AddEntries(file);
    return 1;
}

int SampleCollection::ReplaceCollection(const std::string& path) {
    mtxFileLawnCol file(path);
    if (!file.ReadCollection()) {
        Tell(file.error);
        return 0;
    }
    if (count > 0) changed = 1;
    ClearSamples();
    AddEntries(file);
    return 1;
}

void SampleCollection::AddEntries(const mtxFileLawnCol& file) {
    for (int i = 0; i < file.entryCount; ++i) {
        std::string reason;
        std::string picture = file.ResolveEntry(i, reason);
        if (picture.empty())
            Tell(reason);
        else
            AddSample(picture);
    }
}

int SampleCollection::SaveCollection(const std::string& path) {
    if (count < 1) return 0;
    std::string target = mtxPath(path).HasExtension("msc") ? path : path + ".msc";
    mtxFileLawnCol file(target);
    for (int32_t i = 0; i < count; ++i) file.AddEntry(samples[i].path);
    if (!file.WriteCollection()) {
        Tell(file.error);
        return 0;
    }
    return 1;
}
