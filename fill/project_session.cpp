#include "fill/project_session.h"

#include <cstring>

#include "fill/fill_session.h"
#include "fill/project_file.h"
#include "fill/sample_collection.h"
#include "image/io/image_load.h"

namespace {

// Whether the picture makes the very sample the collection holds.
bool SameSample(const SampleCollection::Sample& a, const SampleCollection::Sample& b) {
    return a.width == b.width && a.height == b.height &&
           std::memcmp(&a.scale, &b.scale, sizeof a.scale) == 0 &&
           std::memcmp(a.key, b.key, sizeof a.key) == 0;
}

}  // namespace

int mtxCaptureProject(mtxFillSession& session, SampleCollection& samples, mtxProject& project,
                      std::string& error,
                      const std::vector<std::unique_ptr<mtxProject::Sample>>* known) {
    if (session.sourceCopy.IsEmpty()) return error = "nothing was filled yet", 0;
    mtxImage& photo = session.sourceCopy;
    // Every pixel is copied over: nothing to clear first.
    if (!project.photo.CreateUnset(photo.width, photo.height))
        return error = "not enough memory for the photo", 0;
    project.photo.Blit(photo, mtxRect{}, 0, 0);
    if (!mtxCaptureSamples(samples, project.samples, error, known)) return 0;
    project.options = mtxStampLog::Options::Of(samples);
    project.log = session.log;
    project.maps = session.maps;
    return 1;
}

int mtxCaptureSamples(SampleCollection& samples,
                      std::vector<std::unique_ptr<mtxProject::Sample>>& out, std::string& error,
                      const std::vector<std::unique_ptr<mtxProject::Sample>>* known) {
    out.clear();
    // The check's options are the collection's, so the values its destructor
    // writes back to the settings are those already there.
    SampleCollection check;
    check.owner = samples.owner;
    check.messages = samples.messages;
    mtxStampLog::Options::Of(samples).ApplyTo(check);
    check.fillMode = samples.fillMode, check.autoSize = samples.autoSize;
    check.speed = samples.speed;
    for (int32_t i = 0; i < samples.count; ++i) {
        const SampleCollection::Sample& sample = samples.samples[i];
        auto saved = std::make_unique<mtxProject::Sample>();
        saved->path = sample.path;
        auto checks = [&] {
            check.ClearSamples();
            return check.AddSamplePicture(saved->picture, sample.path) &&
                   SameSample(check.samples[0], sample);
        };
        bool found = false;
        for (size_t k = 0; known && k < known->size() && !found; ++k) {
            mtxProject::Sample& other = *(*known)[k];
            if (other.path != sample.path || other.picture.IsEmpty()) continue;
            if (!saved->picture.Create(other.picture.width, other.picture.height, 0))
                return error = "not enough memory for sample " + sample.path, 0;
            saved->picture.Blit(other.picture, mtxRect{}, 0, 0);
            found = checks();
        }
        std::string reason;
        if (!found && !mtxImageLoad(saved->picture, sample.path, 0, &reason))
            return error = "sample " + sample.path + " cannot be read again (" + reason + ")", 0;
        if (!found && !checks())
            return error = "sample " + sample.path + " changed on disk since it was added", 0;
        out.push_back(std::move(saved));
    }
    return 1;
}

int mtxLoadProjectSamples(mtxProject& project, SampleCollection& samples, std::string& error) {
    samples.ClearSamples();
    samples.changed = 1;
    project.options.ApplyTo(samples);
    // Going on keeps the engine of the last run.
    if (size_t runs = project.log.RunCount())
        samples.fillMode = project.log.RunAt(runs - 1).mode == SampleCollection::kModeClassic
                               ? SampleCollection::kModeClassic
                               : SampleCollection::kModeFine;
    for (auto& sample : project.samples)
        if (!samples.AddSamplePicture(sample->picture, sample->path)) {
            samples.ClearSamples();
            return error = "sample " + sample->path + " cannot be used as a sample here", 0;
        }
    samples.fromProject = 1;
    return 1;
}
