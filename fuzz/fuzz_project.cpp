// Any byte string as a project file: refused or read, never a crash; and what
// reads writes back to the same bytes.
#include <cstdint>
#include <cstdlib>

#include "fill/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (4u << 20)) return 0;
    mtxProject project;
    std::string error;
    if (!mtxProjectFile::Read(data, size, project, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    std::vector<uint8_t> again;
    mtxProject copy;
    if (!mtxProjectFile::Write(project, again, error) ||
        !mtxProjectFile::Read(again.data(), again.size(), copy, error) ||
        copy.log.Serialize() != project.log.Serialize() ||
        copy.samples.size() != project.samples.size() ||
        copy.maps.Has(mtxFillMaps::kProtect) != project.maps.Has(mtxFillMaps::kProtect) ||
        copy.maps.Has(mtxFillMaps::kDetail) != project.maps.Has(mtxFillMaps::kDetail))
        std::abort();
    return 0;
}
