#pragma once
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "image/image.h"

// The picture as an ordered list of layers (index 0 at the bottom), shared by the
// viewer and the document controller. The list and the busy flag are guarded by
// the stack's lock; layer contents are not.
class mtxImageStack {
  public:
    class Layer {
      public:
        // A record that a tile of the viewer must be uploaded again because the
        // layer's images changed in memory: the tile's column and row in the
        // viewer's grid and the image it shows (0 source, 1 texture image).
        struct TileChange {
            int32_t column = 0;
            int32_t row = 0;
            uint32_t kind = 0;
        };

        Layer(mtxImageStack* owner, std::unique_ptr<mtxImage> image);
        ~Layer();
        Layer(const Layer&) = delete;
        Layer& operator=(const Layer&) = delete;

        // Takes image as the source (the previous one is deleted), copies its size
        // and replaces the texture image by a new one of the same kind and size.
        void SetImage(std::unique_ptr<mtxImage> image);
        void SetOpacity(uint8_t opacity) {
            color = (color & 0x00FFFFFFu) | (uint32_t(opacity) << 24);
        }
        uint8_t Opacity() const { return uint8_t(color >> 24); }

        std::vector<TileChange> viewerData;  // changes the viewer has not uploaded yet
        mtxImageStack* stack;
        std::unique_ptr<mtxImage> source;
        std::unique_ptr<mtxImage> texture;
        float transform[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major 3 x 3
        int32_t width = 0;
        int32_t height = 0;
        uint32_t color = 0xFFFFFFFFu;  // top byte: opacity
    };

    mtxImageStack() = default;
    ~mtxImageStack();
    mtxImageStack(const mtxImageStack&) = delete;
    mtxImageStack& operator=(const mtxImageStack&) = delete;

    // Inserts a layer holding image before position index (appends when index is
    // negative or past the end); the first layer sets the stack's size. Returns
    // the new layer's index, or -1 when image is null.
    int AddLayer(int index, std::unique_ptr<mtxImage> image);
    // The layer at index, or null.
    Layer* GetLayer(int index);
    // Unlinks and deletes the layer; 1, or 0 when there is no such layer.
    int RemoveLayer(int index);
    int LayerCount();

    // 1 and the busy flag set, or 0 when it already was.
    int TryBeginUse();
    void EndUse();

    // centreX, centreY = integer halves of the size; depth = -0.2 x sqrt(w x h).
    void ComputeCentre();

    int32_t width = 0;
    int32_t height = 0;
    // What a flattened picture starts from, below every layer: transparent, so
    // a picture of one layer keeps its own alpha when saved.
    uint32_t fillColor = 0x00000000u;
    int32_t busy = 0;
    uint32_t reserved = 0;
    float centreX = 0.0f, centreY = 0.0f, depth = 0.0f;

  private:
    std::list<Layer*>::iterator At(int index);

    std::mutex lock_;
    std::list<Layer*> layers_;  // owned
};
