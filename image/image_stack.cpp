#include "image/image_stack.h"

#include <cmath>

mtxImageStack::Layer::Layer(mtxImageStack* owner, std::unique_ptr<mtxImage> image) : stack(owner) {
    SetImage(std::move(image));
}

mtxImageStack::Layer::~Layer() = default;

void mtxImageStack::Layer::SetImage(std::unique_ptr<mtxImage> image) {
    source = std::move(image);
    width = source ? source->width : 0;
    height = source ? source->height : 0;
    texture = source ? source->CreateSameKind(width, height) : nullptr;
}

mtxImageStack::~mtxImageStack() {
    for (Layer* layer : layers_) delete layer;
}

std::list<mtxImageStack::Layer*>::iterator mtxImageStack::At(int index) {
    if (index < 0 || size_t(index) >= layers_.size()) return layers_.end();
    auto it = layers_.begin();
    std::advance(it, index);
    return it;
}

int mtxImageStack::AddLayer(int index, std::unique_ptr<mtxImage> image) {
    if (!image) return -1;
    auto layer = std::make_unique<Layer>(this, std::move(image));
    std::lock_guard<std::mutex> guard(lock_);
    if (layers_.empty()) {
        width = layer->width;
        height = layer->height;
    }
    auto where = index < 0 ? layers_.end() : At(index);
    int position = where == layers_.end() ? int(layers_.size()) : index;
    layers_.insert(where, layer.release());
    return position;
}

mtxImageStack::Layer* mtxImageStack::GetLayer(int index) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = At(index);
    return it == layers_.end() ? nullptr : *it;
}

int mtxImageStack::RemoveLayer(int index) {
    Layer* layer = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = At(index);
        if (it == layers_.end()) return 0;
        layer = *it;
        layers_.erase(it);
    }
    delete layer;
    return 1;
}

int mtxImageStack::LayerCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return int(layers_.size());
}

int mtxImageStack::TryBeginUse() {
    std::lock_guard<std::mutex> guard(lock_);
    if (busy) return 0;
    busy = 1;
    return 1;
}

void mtxImageStack::EndUse() {
    std::lock_guard<std::mutex> guard(lock_);
    busy = 0;
}

void mtxImageStack::ComputeCentre() {
    centreX = float(width / 2);
    centreY = float(height / 2);
    depth = -0.2f * std::sqrt(float(width) * float(height));
}
