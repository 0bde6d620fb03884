#include "render/shader.h"

#include <vector>

#include "image/file.h"
#include "platform/resource_table.h"
#include "render/flash_box.h"

int mtxIEShader::Load(mtxFlashBox* newOwner, uint32_t id) {
    owner = newOwner;
    std::span<const unsigned char> code = mtxFindResource("SHADER", id);
    if (code.empty()) return 0;
    // Resources carry a zero byte after their bytes.
    return Create(reinterpret_cast<const char*>(code.data()));
}

int mtxIEShader::Load(mtxFlashBox* newOwner, const std::string& path) {
    owner = newOwner;
    mtxFile file;
    if (!file.Open(path, mtxFile::kRead)) return 0;
    int64_t length = file.GetLength();
    if (length < 0 || length > (int64_t(1) << 24)) return 0;
    std::vector<char> code(size_t(length) + 1, '\0');
    if (length > 0 && file.Read(code.data(), uint32_t(length)) != uint32_t(length)) return 0;
    file.Close();
    return Create(code.data());
}

mtxIEPixelShader::~mtxIEPixelShader() {
    if (shader) shader->Release();
}

int mtxIEPixelShader::Create(const char* code) {
    if (shader) shader->Release(), shader = nullptr;
    IDirect3DDevice9* device = owner ? owner->GetDevice() : nullptr;
    if (!device || FAILED(device->CreatePixelShader(code, &shader))) {
        shader = nullptr;
        return 0;
    }
    return 1;
}

mtxIEVertexShader::~mtxIEVertexShader() {
    if (shader) shader->Release();
}

int mtxIEVertexShader::Create(const char* code) {
    if (shader) shader->Release(), shader = nullptr;
    IDirect3DDevice9* device = owner ? owner->GetDevice() : nullptr;
    if (!device || FAILED(device->CreateVertexShader(code, &shader))) {
        shader = nullptr;
        return 0;
    }
    return 1;
}
