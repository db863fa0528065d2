// Scratch copies of faces scaled about their screen centroid, for draw callbacks.
#include <cstdint>

#include "raster/raster.h"
#include "raster/raster_util.h"

Face ScaledFace;
double FaceCentroidX, FaceCentroidY;

namespace {

Vertex ScaledVertices[3];
constexpr float OneThird = 0.33333334f;  // the float nearest to 1/3

}  // namespace

void face_centroid(Face *f)
{
    // Sums in integers (64-bit, so no screen position can overflow them),
    // times the float third in float arithmetic.
    const int64_t sum_x = static_cast<int64_t>(f->v[0]->sx) + f->v[1]->sx + f->v[2]->sx;
    const int64_t sum_y = static_cast<int64_t>(f->v[0]->sy) + f->v[1]->sy + f->v[2]->sy;
    FaceCentroidX = static_cast<float>(sum_x) * OneThird;
    FaceCentroidY = static_cast<float>(sum_y) * OneThird;
}

void scale_face(Face *f, float factor)
{
    for (int i = 0; i < 3; ++i) ScaledVertices[i] = *f->v[i];
    ScaledFace = *f;
    face_centroid(f);
    for (int i = 0; i < 3; ++i) {
        Vertex &v = ScaledVertices[i];
        // A huge or non-finite factor saturates instead of overflowing the int.
        v.sx = truncate_to_int((v.sx - FaceCentroidX) * factor + FaceCentroidX);
        v.sy = truncate_to_int((v.sy - FaceCentroidY) * factor + FaceCentroidY);
        ScaledFace.v[i] = &v;
    }
}
