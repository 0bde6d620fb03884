#include "base/application.h"

#include "image/codecs/deflate.h"
#include "image/image_converter.h"
#include "platform/path.h"
#include "platform/resource_table.h"
#include "platform/text.h"

namespace {

// The process's application object; set by the constructor, cleared by the destructor.
mtxApplication* gApplication = nullptr;

// The string table keeps entries in 260-unit buffers: 259 characters at most.
constexpr size_t kMaxStringUnits = 259;

}  // namespace

void mtxBuildCrc32Table(uint32_t table[256]) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
}

mtxApplication::mtxApplication(void* instance_, void* previousInstance_, const char* commandLine_,
                               int show)
    : instance(nullptr), previousInstance(nullptr), commandLine(nullptr), showCommand(0) {
    cpu.Detect();
    // Time-sliced workers measure their budgets in cycle-counter ticks.
    mtxImageConverter::SetCyclesPerMicrosecond(cpu.cyclesPerMicrosecond);
    settings.Init();
    gApplication = this;
    instance = instance_;
    previousInstance = previousInstance_;
    commandLine = commandLine_;
    showCommand = show;
    stringBase = 10000;
    mtxBuildCrc32Table(crc32Table);
    startDirectory = mtxPath("*").Directory();
    sharedCompressor = new mtxCompressorZLIB<15, 3>;
}

mtxApplication::~mtxApplication() {
    delete sharedCompressor;
    sharedCompressor = nullptr;
    settings.Close();
    if (gApplication == this) {
        gApplication = nullptr;
        mtxImageConverter::SetCyclesPerMicrosecond(0);
    }
}

int mtxApplication::LoadString(uint32_t n, std::string& out) const {
    out.clear();
    auto bytes = mtxFindResource("STRING", stringBase + n);
    if (bytes.empty()) return 0;
    std::u16string wide =
        mtxUtf8ToUtf16(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (wide.size() > kMaxStringUnits) wide.resize(kMaxStringUnits);
    out = mtxUtf16ToUtf8(wide);
    return 1;
}

mtxApplication* mtxGetApp() {
    return gApplication;
}

uint32_t mtxCrc32Update(const uint32_t table[256], uint32_t crc, const void* data, size_t size) {
    auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}
