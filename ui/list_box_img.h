#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/list_box.h"
#include "ui/texture_picture.h"

// A list box whose items carry a small picture beside their text; the items
// are as high as the tallest picture. Pictures live in memory; their device
// textures are made when first drawn and again after a device loss.
class mtxIEListBoxImg : public mtxIEListBox {
  public:
    static constexpr int kMaxSide = 256;

    using mtxIEListBox::mtxIEListBox;
    ~mtxIEListBoxImg() override;

    // Appends an item with a picture of width x height A8R8G8B8 pixels (row 0
    // first); a missing or oversized picture leaves the item without one.
    int AddImageItem(const std::string& text, const uint32_t* pixels, int width, int height,
                     uintptr_t data = 0);
    void ClearImages();
    void OnDeviceLost() override;
    void DrawItem(int index, const RECT& r, bool selected) override;

    std::vector<mtxIETexturePicture> pictures;  // parallel to items
};
