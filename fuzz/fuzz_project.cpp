// Any byte string as a project file: refused or read, never a crash; and what
// reads writes back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fill/project_file.h"

// Transforms all at the identity are not written again.
static bool SameTransforms(const mtxProject& a, const mtxProject& b) {
    const std::array<float, 9> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    auto still = [&](const std::array<float, 9>& m) { return m == identity; };
    return a.transforms == b.transforms ||
           (a.transforms.empty() && std::all_of(b.transforms.begin(), b.transforms.end(), still));
}

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
        copy.maps.Has(mtxFillMaps::kDetail) != project.maps.Has(mtxFillMaps::kDetail) ||
        !SameTransforms(copy, project) || !(copy.light == project.light))
        std::abort();
    return 0;
}
