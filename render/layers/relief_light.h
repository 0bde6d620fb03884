#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/image.h"
#include "render/image_editor_device.h"

class mtxRegistry;

// The relief light: the picture's brightness read as a height, its normals
// (pixel shader 5200) lit from a direction with a strength (pixel shader
// 5201). The result is a shade image of the picture's size that lies over the
// picture like a layer: white where slopes face the light, black where they
// face away, clear on flat ground. The viewer shows it over the layers and the
// saved picture has it laid over the flattened layers the same way.
struct mtxReliefLight {
    static constexpr const char* kSection = "dlit";  // settings: "on", "ang", "str"
    static constexpr int kElevation = 45;            // degrees above the picture
    static constexpr size_t kEncodedSize = 12;

    bool on = false;
    int angle = 135;    // degrees, counter-clockwise from the right: where the light comes from
    int strength = 50;  // 0..100

    bool operator==(const mtxReliefLight&) const = default;
    bool IsDefault() const { return *this == mtxReliefLight{}; }
    // The unit vector towards the light in picture coordinates (y down).
    void Direction(float out[3]) const;
    // The shade's alpha per unit of n . light below the flat ground's.
    float Gain() const { return 2.0f * float(strength) / 100.0f; }

    // on, angle, strength as three little-endian 32-bit words.
    std::vector<uint8_t> Encode() const;
    // 1 and out set; 0 (out untouched) for a wrong size, on not 0 or 1, an
    // angle outside 0..359 or a strength outside 0..100.
    static int Decode(const uint8_t* bytes, size_t size, mtxReliefLight& out);
    // Values missing or out of range keep what is set.
    void Read(mtxRegistry& settings);
    void Write(mtxRegistry& settings) const;
};

// The 16-bit height of a pixel from its brightness (Rec. 601 weights in
// 1/256ths: 77 red, 150 green, 29 blue), as 5200 reads it: the high byte in
// green, the low byte in blue.
uint32_t mtxReliefHeight(mtxColor pixel);

// Renders light's shade of picture (any image; locked here) into shade, which
// becomes the picture's size (a device image for the viewer to show). 1 on
// success; 0 without a device or shaders, when a texture or the read-back
// cannot be had, or when shade cannot be made.
int mtxRenderReliefLight(mtxImageEditorDevice* editor, mtxImage& picture,
                         const mtxReliefLight& light, mtxImage& shade);
