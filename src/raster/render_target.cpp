// Storage of the render target shared by the frame driver, scenes and rasterizers.
#include "raster/render_target.h"

TargetBand RenderTarget = {nullptr, BandWidth};
uint32_t *WorkBuffer = nullptr;
uint32_t *ScratchBandA = nullptr;
uint32_t *ScratchBandB = nullptr;
