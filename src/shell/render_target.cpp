// Storage of the render target shared by the frame driver, scenes and rasterizers.
#include "shell/render_target.h"

TargetBand RenderTarget = {nullptr, 640};
