#pragma once

#include <QImage>

// Layer-sized images on recycled memory. A job allocates images of the same few sizes for
// every layer; the allocator hands such blocks back to the system and every layer then pays
// for fresh pages. Here the memory of an image goes back to a small pool when its last copy
// is gone, from whichever thread that happens on.
namespace CWS::ImageBufferPool {

// An image of this size and format, its pixels not cleared; the colour table is empty.
QImage acquire(int widthPx, int heightPx, QImage::Format format);

} // namespace CWS::ImageBufferPool
