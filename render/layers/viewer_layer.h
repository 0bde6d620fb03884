#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "image/image_stack.h"
#include "platform/device.h"
#include "render/image_dx.h"
#include "render/image_editor_device.h"
#include "render/layers/viewer_quad.h"

// One layer of the picture on the device: the stack layer's images cut into
// tiles whose origins lie 126 pixels apart, each tile holding its 126 x 126
// pixels plus a one-pixel border in 128 x 128 textures of the editor's pools,
// so bilinear filtering at a seam reads the real neighbour.
//
// Headless use (the filling engine, batch work), all on the editor's thread:
//
//   mtxImageEditorDevice editor;  editor.CreateDevice(nullptr);
//   auto image = std::make_unique<mtxImageDx>(editor.GetDevice());  // load or fill it
//   mtxImageStack stack;  stack.AddLayer(0, std::move(image));
//   mtxIEViewerLayer layer(&editor);
//   layer.SetSource(stack.GetLayer(0));
//   device->SetTexture(0, sampleTexture);                // what the shader samples
//   layer.DrawQuad(quad, editor.GetPixelShader(5357), c0, c1);  // any number of times
//   layer.CommitTiles();                                 // the stack layer's image now holds them
//   FlattenStack(stack, picture);                        // render/layers/flatten_stack.h
//
// The layer's images must be mtxImageDx images of the editor's device (their
// surfaces are what the tiles upload). The editor must tell the layer about a
// device loss (ReleaseDeviceResources) from its own hook of that name.
class mtxIEViewerLayer {
  public:
    class Tile;
    static constexpr int kTileStep = 126;     // pixels a tile owns per axis
    static constexpr int kTextureEdge = 128;  // its textures, with the border

    explicit mtxIEViewerLayer(mtxImageEditorDevice* editor);
    virtual ~mtxIEViewerLayer();
    mtxIEViewerLayer(const mtxIEViewerLayer&) = delete;
    mtxIEViewerLayer& operator=(const mtxIEViewerLayer&) = delete;

    // Device loss: copies what was drawn back into the source image, then
    // returns every tile's textures to the pools.
    virtual void ReleaseDeviceResources();
    // After a reset: nothing to make; tiles take textures again on their next
    // upload.
    virtual void RestoreDeviceResources() {}

    // Shows stack layer (null: nothing) and rebuilds the tile grid for its
    // size. The layer already shown, with the same image, keeps its tiles
    // (dirty ones included); otherwise uncommitted drawing is dropped, so
    // commit before pointing a layer elsewhere.
    void SetSource(mtxImageStack::Layer* layer);

    // Draws quad into every tile it touches, through the fixed vertex path and
    // pixelShader (constants c0, c1; the caller binds what it samples, normally
    // stage 0), laid over the tile by the shader's alpha. Returns 1 when every
    // touched tile was drawn (also when the quad lies outside the layer); 0 when
    // there is no device, it is lost, there is no shader or a tile could not get
    // its textures (repaintWanted is set then; the other tiles are drawn).
    int DrawQuad(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader, const float c0[4],
                 const float c1[4]);
    // The same with texture on stage 0; while a batch is open the quad waits
    // and is drawn with the batch, and a failure to draw it shows as the
    // result of CloseBatch (or of the call that drew the batch).
    int DrawQuad(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
                 IDirect3DTexture9* texture, const float c0[4], const float c1[4]);

    // Between OpenBatch and CloseBatch, quads given with their texture wait
    // and are drawn together: each tile is bound once for all the quads that
    // reach it, in their order, so the picture is the one drawing them one by
    // one gives, with far fewer changes of target. Quads of the recolouring
    // and plain sample shaders (5357, 5372) go many to a draw, up to eight
    // textures at a time. Whatever reads the tiles
    // (committing, uploading, composing, a device loss) draws them first, and
    // the textures must live until then. At most limit quads wait: one more
    // draws them. CloseBatch returns Flush's result.
    static constexpr size_t kBatchLimit = 4096;
    void OpenBatch(size_t limit = kBatchLimit);
    int CloseBatch();
    int Flush();
    size_t WaitingCount() const { return waiting_.size(); }

    // Copies every dirty tile's own 126 x 126 pixels (never its border) back
    // into the source image and clears the dirty flags. 1 on success; 0 when a
    // tile could not be read back (it stays dirty) or the image cannot be locked.
    int CommitTiles();

    // Uploads the tiles named by the stack layer's change records and empties
    // them. A re-uploaded colour texture replaces what was drawn into it and
    // not committed: the image in memory is what changed. 0 when an upload failed.
    int UploadChanges();
    // Uploads the colour texture of every tile without one whose rectangle,
    // through the layer's transform, meets visible (stack pixels). 0 when an
    // upload failed.
    int UploadVisible(const mtxRect& visible);
    // The normal texture of every tile that has a colour texture. 0 on a failure.
    int MakeNormalTextures();

    // Draws the tiles that have colour textures into the current render target
    // through the viewing shaders, with the editor's projection: layer pixel
    // (x, y) goes through the stack layer's transform, then by (originX,
    // originY), which is the picture's offset less the scroll position.
    // Tiles wholly outside area (target pixels) are not drawn.
    void Draw(float originX, float originY, const RECT& area);

    Tile* GetTile(int column, int row);
    int DirtyTileCount() const;

    mtxImageEditorDevice* editor;
    mtxIEPixelShader* blendShader = nullptr;  // 5150, normal
    mtxIEVertexShader* viewVertex = nullptr;  // 5250
    mtxIEPixelShader* viewPixel = nullptr;    // 5251
    mtxIEPixelShader* extraShaders[2] = {};   // 5050 and 5052: no such programs
    float viewMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float viewVectors[2][4] = {{200, 200, -100, 1}, {200, 200, -100, 1}};
    mtxImageStack::Layer* stackLayer = nullptr;
    mtxImage* source = nullptr;        // owned by the stack layer
    mtxImage* textureImage = nullptr;  // owned by the stack layer
    int columns = 0, rows = 0;
    std::vector<std::unique_ptr<Tile>> tiles;  // row by row
    // A piece of a larger picture: the source's pixel (0, 0) is the
    // picture's (bandLeft, bandTop), both multiples of kTileStep. Quads are
    // given in picture pixels and each tile draws them with the offsets the
    // whole picture's tile at that place would use, so a picture drawn piece
    // by piece is the same bytes.
    int bandLeft = 0, bandTop = 0;
    uint32_t repaintWanted = 0;  // set when a tile could not be drawn

    // Quads drawn only inside a clip: parts of the picture drawn again from a
    // list of quads without drawing twice over what lies around them. The
    // rectangles (picture pixels) are cut along the tiles, and pieces that
    // overlap within a tile are joined into the rectangle holding both, so
    // no pixel is drawn twice; the clip is what the pieces cover, at least
    // the rectangles given. Set it with nothing waiting in a batch.
    void SetClip(const std::vector<mtxRect>& pixels);
    void ClearClip();
    bool Clipped() const { return clipped_; }
    // The clip's pieces, in picture pixels, each within one tile's own pixels.
    const std::vector<mtxRect>& ClipPieces() const { return pieces_; }
    // Whether a quad within these pixels would be drawn somewhere (always
    // without a clip).
    bool ClipReaches(const mtxRect& pixels) const;
    // Uploads the clip's pieces of the source image into the colour textures
    // that hold them (a tile without one takes its whole source when next
    // drawn into). What was drawn elsewhere in those tiles stays. 0 when an
    // upload failed.
    int UploadClip();

  private:
    // A quad with what it is drawn with, and the tiles it reaches (an empty
    // range when none).
    struct Waiting {
        float x[4], y[4], u[2], v[2], c0[4], c1[4];
        mtxIEPixelShader* shader;
        IDirect3DTexture9* texture;
        int column0, row0, column1, row1;
        mtxRect pixels;  // the pixels it may reach, picture pixels
    };
    // Sets the sample-over blending for its lifetime.
    class SampleOver {
      public:
        explicit SampleOver(IDirect3DDevice9* device);
        ~SampleOver();
        SampleOver(const SampleOver&) = delete;
        SampleOver& operator=(const SampleOver&) = delete;

      private:
        static constexpr D3DRENDERSTATETYPE kStates[4] = {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
                                                          D3DRS_DESTBLEND, D3DRS_SCISSORTESTENABLE};
        IDirect3DDevice9* device_;
        uint32_t saved_[4] = {};
    };
    // A vertex of many stamps drawn at once (5375): XYZ, then the texture
    // coordinate, the stamp's c0 and c1, and the stage of its sample.
    struct StampVertex {
        float x, y, z;
        float u, v;
        float c0[4], c1[4];
        float stage;
    };
    static constexpr uint32_t kStampFormat = D3DFVF_XYZ | D3DFVF_TEX4 | D3DFVF_TEXCOORDSIZE4(1) |
                                             D3DFVF_TEXCOORDSIZE4(2) | D3DFVF_TEXCOORDSIZE1(3);
    static constexpr int kStampStages = 8;  // the samplers of 5373 and 5374
    int Place(const mtxIEViewerQuad& quad, mtxIEPixelShader* pixelShader,
              IDirect3DTexture9* texture, const float c0[4], const float c1[4], Waiting& out) const;
    // Makes the tile's colour texture the render target; 0 when it has none.
    int BindTile(Tile& tile);
    int DrawIntoTile(Tile& tile, const Waiting& quad);
    // Draws the waiting quads order[from], order[from + 1], ... into the bound
    // tile in one draw, as many as share a shader that has a program for many
    // stamps and need no more than kStampStages textures; returns the index
    // after the last one drawn (from when the first has no such program).
    size_t DrawStamps(Tile& tile, size_t from, size_t end);
    // The program drawing many stamps for a shader's, or null.
    mtxIEPixelShader* StampsShader(const mtxIEPixelShader* shader) const;
    int ReadBackTile(Tile& tile);
    // What a quad reaching the tile draws into: the whole tile (-1) or each
    // clip piece it reaches (indices into pieces_), until visit returns 0.
    template <class Visit>
    void ForEachPart(int tile, const mtxRect& pixels, Visit visit) const;
    // Limits drawing into the bound tile to a clip piece (-1: the whole tile, as bound).
    void ScissorTo(const Tile& tile, int piece);

    bool clipped_ = false;
    std::vector<mtxRect> pieces_;      // sorted by tile
    std::vector<uint32_t> tilePiece_;  // tile k's pieces: [tilePiece_[k], tilePiece_[k + 1])
    std::vector<int> pieceTile_;       // the tile of each piece
    bool batchOpen_ = false;
    size_t batchLimit_ = kBatchLimit;
    std::vector<Waiting> waiting_;
    std::vector<std::pair<int, uint32_t>> flushOrder_;  // (tile or piece, quad), reused
    std::vector<StampVertex> stampVertices_;            // reused
    int stagesUsed_ = 0;                          // stages DrawStamps bound since the last flush
    mtxIEPixelShader* heightToNormal_ = nullptr;  // 5200
    // The programs for one stamp (5357, 5372) and for many at once (5373,
    // 5374, through 5375).
    mtxIEPixelShader* oneStamp_[2] = {};
    mtxIEPixelShader* manyStamps_[2] = {};
    mtxIEVertexShader* stampsVertex_ = nullptr;
    std::unique_ptr<mtxImageDx> readBack_;  // 128 x 128, system memory
};
