#pragma once
#include "image/file.h"
#include "image/image.h"

// Writes image to file as a Windows bitmap: a 14-byte file header, a 40-byte
// BITMAPINFOHEADER, then 32-bit pixels in the image's own byte order (blue,
// green, red, alpha; alpha unchanged), the last row first, no padding, no
// colour table. The file is written from offset 0 and flushed. Returns 1 when
// every byte was written; 0 when a write or the flush failed, the image cannot be locked, or the
// file would not fit the 32-bit size field (nothing is written then).
int mtxWriteBmp(mtxImage& image, mtxFile& file);

// The same file from rows given top to bottom, for pictures too large to hold
// whole: Begin writes the headers, AddRows puts each band's rows at their
// place (the file holds the last row first, so the first band lands at its
// end), Finish flushes once every row came. Each 1, or 0: a file beyond the
// 32-bit size field (nothing written), a row too many or too few, a wrong
// width, a failed write or flush (the file must then be thrown away).
class mtxBmpRowWriter {
  public:
    explicit mtxBmpRowWriter(mtxFile& file) : file_(file) {}

    int Begin(int width, int height);
    int AddRows(const mtxImage& rows);
    int Finish();

  private:
    mtxFile& file_;
    int width_ = 0, height_ = 0, rowsAdded_ = 0;
    bool failed_ = true;
};
