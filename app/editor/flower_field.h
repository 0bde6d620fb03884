#pragma once
#include <cstdint>
#include <vector>

#include "platform/device.h"
#include "ui/ctrl.h"

// The About dialog's picture: a meadow under drifting cloud shadows (pixel
// shader 5364) with flowers swaying in the wind (vertex shader 5362, pixel
// shader 5363). Its pictures are drawn here rather than shipped. A timer
// moves it while it is shown; without its shaders it stands still, the
// meadow plain and without flowers.
class mtxIEFlowerField : public mtxIECtrl {
  public:
    enum Shader : uint32_t {
        kFlowerVertexShader = 5362,
        kFlowerShader = 5363,
        kMeadowShader = 5364
    };
    static constexpr int kFrameMs = 50;  // 20 frames a second: a gentle sway costs little
    // The field's own coordinates: 600 wide, the flowers sway about (300, 300).
    static constexpr float kFieldWidth = 600.0f;

    explicit mtxIEFlowerField(mtxIECtrl* parent);
    ~mtxIEFlowerField() override;

    // Starts the timer; the first frame shows time 0.
    void Start();
    void Stop();
    bool Running() const { return timerId_ != 0; }
    // One frame later: the time moves on and the field is redrawn.
    void Step(float seconds);
    void OnTimer(uintptr_t id) override;
    void Draw(int x, int y, const RECT& clip) override;
    void OnDeviceLost() override;

    float time = 0.0f;  // seconds since the start

    // A flower planted at (x, y) of the field's coordinates: its base on the
    // ground, its head size in field units, its kind (a cell of the atlas).
    struct Flower {
        float x, y, size;
        int kind;
    };
    std::vector<Flower> flowers;  // back to front

  private:
    int MakeTextures(IDirect3DDevice9* device);
    void ReleaseTextures();
    void DrawMeadow(IDirect3DDevice9* device, const RECT& r);
    void DrawFlowers(IDirect3DDevice9* device, const RECT& r);

    uintptr_t timerId_ = 0;
    IDirect3DTexture9* meadow_ = nullptr;
    IDirect3DTexture9* clouds_ = nullptr;
    IDirect3DTexture9* atlas_ = nullptr;
};
