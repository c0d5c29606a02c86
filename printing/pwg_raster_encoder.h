#pragma once

#ifndef _WIN32

#include <cstddef>
#include <functional>

namespace Plover::PrintSystem {

class PageRaster;
struct PageJob;

// Receives encoded bytes as they are made; false stops the encoding.
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

// The page as one PWG raster page (sRGB, 8 bits, at the device resolution), always portrait: the
// printer receives exactly the device pixels, with nothing left for a filter to scale or turn.
bool writePwgRaster(const PageRaster& page, const PageJob& job, const ByteSink& sink);

} // namespace Plover::PrintSystem

#endif
