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
    kDialogShader = 5359,        // a dialog's rounded panel in its own warm grey
    kPlainDialogShader = 5360,   // the same panel in the vertex colour
    kSysButtonEnvShader = 5365,  // a system button's square bevel with a reflection
    kSysButtonShader = 5366,     // the same bevel, plain
    kRadioShader = 5367,         // a radio button's round face
    kRadioCheckedShader = 5368,  // the same face with its dot
    kSliderTrackShader = 5369,   // a slider's sunken groove
};
// The dialog panel's face lies this far inside the quad the shader draws:
// the rest is its soft shadow.
constexpr int kDialogShadow = 25;
// The grey of a radio button's face, under its reflection.
constexpr uint32_t kRadioFaceColor = 0xFFB8B8B8;

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

// The looks below draw nothing and return 0 when their shader cannot be had:
// the control then draws its flat or skinned look itself.

// A dialog's panel filling r, rounded, its face shaded from top to bottom:
// tinted (5359) in the panel's own grey, else (5360) in color. The shadow
// falls outside r, where the dialog's clip cuts it.
int DialogPanel(mtxImageEditor* editor, const RECT& r, bool tinted, uint32_t color);
// A window system button (a dialog's close box, the spin arrows): a square
// bevel in the profile's face colour, reflecting its surroundings while the
// pointer is over it.
int SysButtonFace(mtxImageEditor* editor, const mtxIEProfile& profile, const Face& face);
// A radio button's round face filling the square r, with its dot when checked.
int RadioFace(mtxImageEditor* editor, const RECT& r, bool checked);
// A slider's groove along the middle of r (the control's track area).
int SliderTrack(mtxImageEditor* editor, const mtxIEProfile& profile, const RECT& r);

}  // namespace mtxIESkinLook
