#pragma once

#ifndef _WIN32

#include "printing/pwg_raster_encoder.h"

namespace Plover::PrintSystem {

// The page as a one-page PDF whose MediaBox is exactly the paper, holding one 8-bit DeviceRGB Flate
// image of the device pixels at 72/dpi points each, without interpolation or ICC profile, always portrait:
// a PDF filter chain has nothing to scale, and at most rounds the image's place to its own pixel grid.
bool writePdfPage(const PageRaster& page, const PageJob& job, const ByteSink& sink);

} // namespace Plover::PrintSystem

#endif
