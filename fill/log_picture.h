#pragma once
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
