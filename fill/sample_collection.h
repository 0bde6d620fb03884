#pragma once
#include <cstdint>

class mtxRegistry;

// The one collection of samples, held by the editor window, together with the
// filling options that steer the engine. The samples themselves come later;
// for now the collection carries the options.
class SampleCollection {
  public:
    static constexpr uint32_t kChooseColorMatch = 0, kChooseRandom = 256;
    static constexpr uint32_t kColorRecolor = 0, kColorKeep = 4096;

    SampleCollection() = default;
    // Writes the options back to the application's settings store.
    ~SampleCollection();
    SampleCollection(const SampleCollection&) = delete;
    SampleCollection& operator=(const SampleCollection&) = delete;

    // Reads the options from the "sm" section, applying defaults and bounds.
    void LoadOptions();
    void LoadOptions(mtxRegistry& settings);
    void SaveOptions();
    void SaveOptions(mtxRegistry& settings) const;

    int32_t sizeMin = 1;      // smallest sample side in pixels, 1..1024
    int32_t sizeMax = 150;    // largest sample side, sizeMin..1024
    int32_t overlap = 4;      // pixels a sample may reach over a colour border, 0..256
    uint32_t rotate = 1;      // random rotation 0..359 degrees
    uint32_t mirror = 1;      // random horizontal mirror
    uint32_t flip = 1;        // random vertical flip
    uint32_t chooseMode = 0;  // kChooseColorMatch or kChooseRandom
    uint32_t colorMode = 0;   // kColorRecolor or kColorKeep
    int32_t background = 0;   // 0 backgroundColor, 1 the layer's content, 2 the picture's copy
    uint32_t backgroundColor = 0xFFFFFFFF;  // 0xAARRGGBB for background 0
};
