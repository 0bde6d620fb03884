#pragma once
#include <cstdint>
#include <functional>
#include <string>

class SampleCollection;
class mtxImage;
class mtxImageEditorDevice;
class mtxStampLog;

// Draws the picture of a log again, on its own layer of the device, at
// width x height: the photo scaled to that size under the log's base, and
// every stamp enlarged by width / the photo's width, drawn from the samples'
// own pixels. At the photo's size it is the picture filled live, byte for
// byte. 1 with the picture in out, or 0 with why in error.
int mtxDrawLogPicture(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                      const mtxStampLog& log, int width, int height, mtxImage& out,
                      std::string& error);

// The same drawing in frames steps (at least 1): after each, the picture so
// far goes to frame with its index; frame k shows the stamps of the base's
// run and later up to (k + 1) / frames of them, so the last frame is the
// whole picture. frame returns 0 to stop. 1 when every frame was given, or
// 0 with why in error.
int mtxDrawLogFrames(mtxImageEditorDevice& editor, SampleCollection& samples, mtxImage& photo,
                     const mtxStampLog& log, int width, int height, uint32_t frames,
                     const std::function<int(mtxImage& picture, uint32_t index)>& frame,
                     std::string& error);
