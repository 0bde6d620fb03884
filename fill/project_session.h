#pragma once
#include <memory>
#include <string>
#include <vector>

#include "fill/project_file.h"

class SampleCollection;
class mtxFillSession;

// Between a filling session and its project file.

// The session's project: the saved copy of the photo, the samples' pictures
// (read again from their files, and checked to be the pictures the samples
// were made from), the options, the log and the maps. A sample whose path is among
// known (pictures of an opened project, whose files may be elsewhere) takes
// that picture when it checks out, before its file is tried. 1, or 0 with
// why in error.
int mtxCaptureProject(mtxFillSession& session, SampleCollection& samples, mtxProject& project,
                      std::string& error,
                      const std::vector<std::unique_ptr<mtxProject::Sample>>* known = nullptr);
// The samples' pictures alone, as mtxCaptureProject takes them, into out.
int mtxCaptureSamples(SampleCollection& samples,
                      std::vector<std::unique_ptr<mtxProject::Sample>>& out, std::string& error,
                      const std::vector<std::unique_ptr<mtxProject::Sample>>* known = nullptr);

// Replaces the collection's samples and options by the project's: the
// project's own pictures, so it runs on a machine without their files, marked
// as the project's (SampleCollection::fromProject). 1, or 0 with why in error
// (a sample the device cannot take), the collection then emptied.
int mtxLoadProjectSamples(mtxProject& project, SampleCollection& samples, std::string& error);
