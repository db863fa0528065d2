// Storage of the render target shared by the frame driver, scenes and rasterizers.
#include "shell/render_target.h"

#include "shell/band.h"

TargetBand RenderTarget = {nullptr, BandWidth};
