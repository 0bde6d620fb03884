#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"
#include "platform/geometry.h"

class mtxIEFont;
class mtxImage;

// The look of the editor's controls: colours, metrics and the skin pictures
// every control reads instead of hard-coding them. An editor's concrete look
// derives from it. Until LoadSkins has succeeded (and after ReleaseSkins) the
// controls draw the flat look in the colours below.
class mtxIEProfile {
  public:
    // Picture resources of the skins, drawn by tools/picture_gen.
    enum Resource : uint32_t {
        kDialogSkinId = 3005,         // dialog frame (9 pieces) and title bar (3)
        kToolBarBackgroundId = 3011,  // stretched over tool bars
        kCheckSkinId = 3014,          // check-box states (4)
        kToolIconsId = 3105,          // tool-bar icons, 24 x 24
    };
    enum DialogPiece {
        kFrameTopLeft =
            0,  // then top, top right; left, centre, right; bottom left, bottom, bottom right
        kFrameCentre = 4,
        kTitleLeft = 9,
        kTitleMiddle = 10,
        kTitleRight = 11,
        kDialogPieces = 12
    };
    enum CheckPiece { kUnchecked, kChecked, kUncheckedPressed, kCheckedPressed, kCheckPieces };
    // The icons of the tool-bar picture, in its order.
    enum ToolIcon {
        kIconPointer,
        kIconMove,
        kIconZoom,
        kIconBrush,
        kIconFill,
        kIconEraser,
        kIconPicker,
        kIconLine,
        kIconRectangle,
        kIconEllipse,
        kIconLasso,
        kIconWand,
        kIconFlower,
        kIconLeaf,
        kIconStone,
    };
    static constexpr int kToolIcons = 15;

    // A skin picture as a texture and its pieces (texel rectangles).
    struct Skin {
        IDirect3DTexture9* texture = nullptr;
        int width = 0, height = 0;
        std::vector<RECT> pieces;
    };

    mtxIEProfile() = default;
    mtxIEProfile(const mtxIEProfile&) = delete;
    mtxIEProfile& operator=(const mtxIEProfile&) = delete;
    virtual ~mtxIEProfile() { ReleaseSkins(); }

    // Cuts a skin picture into its pieces: the top-left pixel's colour
    // separates them. Each band of pieces starts in column 0 below a row of
    // the separator colour; within a band's first row every run of other
    // colours is a piece, as deep as its first column goes before the
    // separator colour (or the picture) ends it. pieces is emptied first.
    static void SliceSkin(const mtxImage& image, std::vector<RECT>& pieces);

    // Loads the skin pictures, slices them and makes their textures on the
    // device. 1 when every picture has the pieces its roles need; otherwise 0
    // with no skin kept (the flat look stays).
    int LoadSkins(IDirect3DDevice9* device);
    // Lets go of the textures (before the device goes); the flat look returns.
    void ReleaseSkins();
    bool HasSkins() const { return dialogSkin.texture != nullptr; }

    // Draws the piece (texel rectangle) of skin stretched over dst, point
    // sampled, modulated by color. 1 when drawn.
    static int DrawPiece(IDirect3DDevice9* device, const Skin& skin, const RECT& piece,
                         const RECT& dst, uint32_t color = 0xFFFFFFFF);
    // Nine pieces starting at first (corners at their size, edges and centre
    // stretched) over r. 1 when drawn.
    static int DrawNine(IDirect3DDevice9* device, const Skin& skin, int first, const RECT& r);
    // The skinned elements; each returns 0 without skins (nothing drawn).
    int DrawDialogFrame(IDirect3DDevice9* device, const RECT& r) const;
    int DrawTitleBar(IDirect3DDevice9* device, const RECT& r) const;
    int DrawCheckBox(IDirect3DDevice9* device, int x, int y, bool checked, bool pressed) const;
    // Tool-bar icon `icon` at its size centred in box; a disabled one is drawn
    // faded.
    int DrawToolIcon(IDirect3DDevice9* device, int icon, const RECT& box,
                     bool enabled = true) const;

    Skin dialogSkin, checkSkin, toolBarBackground, toolIcons;

    // Calm greys and one accent colour, the skins' own.
    uint32_t faceColor = 0xFFECEDEF;
    uint32_t textColor = 0xFF202326;
    uint32_t disabledTextColor = 0xFF8A9098;
    uint32_t arrowColor = 0xFF4B5159;
    uint32_t lightColor = 0xFFFFFFFF;
    uint32_t shadowColor = 0xFF9AA0A7;
    uint32_t frameColor = 0xFF7D848C;
    uint32_t selectionColor = 0xFF3F78B5;
    uint32_t captionColor = 0xFF3F78B5;
    uint32_t captionTextColor = 0xFFFFFFFF;
    int lineHeight = 16;        // height of one line of control text
    int scrollBarSize = 16;     // width of a vertical bar, height of a horizontal one
    int minThumbLength = 8;     // a scroll thumb is never shorter
    int captionHeight = 18;     // a framed window's caption
    mtxIEFont* font = nullptr;  // the control font, owned by the editor
};
