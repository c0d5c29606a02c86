#pragma once

#include <QImage>
#include <atomic>
#include <vector>

namespace Plover {

// The image shrunk by a whole factor, each side rounded down: each pixel is the average of a
// `shrink` x `shrink` block of image pixels, so the level covers the image's top left
// width * shrink by height * shrink pixels.
struct PyramidLevel
{
    int shrink = 1;
    QImage image;
};

// Area-averaged halvings of `image`, finest first, for drawing it small without aliasing. Together
// they take at most a third of the image's memory: where the finest would break that (an image of
// fewer bytes per pixel than a level has), they start coarser. Empty once `cancelled` turns true.
std::vector<PyramidLevel> imagePyramid(const QImage& image, const std::atomic<bool>& cancelled);

// The coarsest level whose pixels still show no larger than a device pixel when the image shows at
// `scale` device pixels per image pixel; nullptr when that is the image itself.
const PyramidLevel* levelForScale(const std::vector<PyramidLevel>& levels, double scale);

} // namespace Plover
