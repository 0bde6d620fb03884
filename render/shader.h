#pragma once
#include <cstdint>
#include <string>

#include "platform/device.h"

class mtxFlashBox;

// A shader program of the editor window's device, loaded from a "SHADER"
// resource or a file.
class mtxIEShader {
  public:
    mtxIEShader() = default;
    virtual ~mtxIEShader() = default;
    mtxIEShader(const mtxIEShader&) = delete;
    mtxIEShader& operator=(const mtxIEShader&) = delete;

    // Records the owner and creates the shader from resource id (type
    // "SHADER"). 0 when there is no such resource or creation fails.
    int Load(mtxFlashBox* owner, uint32_t id);
    // The same from the whole file at path; the buffer is freed after
    // creation, success or not. 0 when the file cannot be read.
    int Load(mtxFlashBox* owner, const std::string& path);
    // Releases any previous shader and creates one on the owner's device.
    // 0 (shader null) on failure.
    virtual int Create(const char* code) = 0;

    mtxFlashBox* owner = nullptr;  // the editor window, through which the device is reached
};

class mtxIEPixelShader : public mtxIEShader {
  public:
    ~mtxIEPixelShader() override;
    int Create(const char* code) override;
    IDirect3DPixelShader9* shader = nullptr;  // owned
};

class mtxIEVertexShader : public mtxIEShader {
  public:
    ~mtxIEVertexShader() override;
    int Create(const char* code) override;
    IDirect3DVertexShader9* shader = nullptr;  // owned
};
