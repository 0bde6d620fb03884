#pragma once
#include <cstdint>

#include "platform/device.h"

class mtxImageEditor;
class mtxIEProfile;

// The shaded looks of the controls: faces drawn by the editor's control
// shaders (a rounded bevel lit by the computed environment), falling back to
// the flat look when the shader cannot be had. Each skips its drawing without
// a device.
namespace mtxIESkinLook {

// Resources of the control shaders.
enum Shader : uint32_t {
    kButtonShader = 5358,        // face shaded from a top to a bottom colour
    kTintedButtonShader = 5361,  // face in the vertex colour
    kToolBarShader = 5371,       // the bar's vertical bevel over its picture
};

struct Face {
    RECT rect;
    bool pressed = false;
    bool hot = false;     // the pointer is over it
    float corner = 4.0f;  // corner radius in pixels
    uint32_t tint = 0;    // nonzero: drawn in this colour (5361) instead of the profile's greys
};

// A button face; 1 when drawn with the shader, 0 when the flat look stood in.
int ButtonFace(mtxImageEditor* editor, const mtxIEProfile& profile, const Face& face);
// A tool bar's face over r: its background picture (when the profile has
// one) shaded by the bar's bevel. 1 when drawn with the shader.
int ToolBarFace(mtxImageEditor* editor, const mtxIEProfile& profile, const RECT& r, uint32_t color);

}  // namespace mtxIESkinLook
