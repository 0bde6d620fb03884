#include "fill/sample_collection.h"

#include <algorithm>

#include "app/application.h"

namespace {

constexpr const char* kSection = "sm";

// The stored value as a signed number, or fallback when it is missing.
int32_t ReadOr(mtxRegistry& settings, const char* name, int32_t fallback) {
    uint32_t value;
    return settings.GetInt(kSection, name, value) ? static_cast<int32_t>(value) : fallback;
}

}  // namespace

SampleCollection::~SampleCollection() {
    SaveOptions();
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
}
