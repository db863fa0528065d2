// Every archive entry the start-up loading reads, with the shape its loader
// requires: the one statement of what the generator must write and the
// loaders may index. Loaders check what they load against their rows
// (require_asset), the generator checks what it wrote against the whole table
// before it writes the archive, and test_manifest reads the generated archive
// against it. Listed in loading order: the colour table, then credits,
// believe, buddha, title, box, ball, plane, tunnel and system, each scene's
// entries in the order it loads them; an entry two scenes load is listed once.
#pragma once
#include <cstddef>
#include <cstring>

#include "raster/raster.h"
#include "raster/render_target.h"

enum AssetKind {
    AssetGrey,   // an 8-bit picture (TGA type 1 or 3): ImageBytes
    AssetWords,  // a 32-bit picture (TGA type 2 or a JPEG): ImageWords
    AssetMesh,   // a ".3d" mesh with at least one object
    AssetRaw,    // raw bytes: width * min_rows of them at least
};

struct AssetEntry {
    const char *name;  // as the loaders ask for it: lower case, backslashes
    AssetKind kind;
    int width;     // pictures: the exact width, 0 for any; meshes: 0
    int min_rows;  // pictures: the least height (warp maps: the exact one); meshes: 0
    const char *purpose;
};

inline constexpr AssetEntry ColourTableAsset{"coltab.dat", AssetRaw, 256, 256, "light levels of every glow"};

inline constexpr AssetEntry CreditsBackgroundAsset{"credits\\credits_back.tga", AssetWords, BandWidth, BandHeight,
                                                   "credits background, copied to the band every frame"};
inline constexpr AssetEntry CreditsTextAsset{"credits\\credits_text.tga", AssetWords, 256, 320,
                                             "credits scrolling text, wrapping after row 319"};
inline constexpr AssetEntry CreditsMaskAsset{"credits\\credits_mask.tga", AssetGrey, 256, BandHeight,
                                             "credits text mask: non-zero lets the text through"};
inline constexpr AssetEntry CreditsTextureAsset{"credits\\credits_txt.tga", AssetWords, TextureSide, 768,
                                                "credits object texture, seen through a swinging window"};
inline constexpr AssetEntry CreditsMeshAsset{"credits\\credits.3d", AssetMesh, 0, 0, "credits turning object"};
inline constexpr AssetEntry CreditsDissolveAsset{"credits\\credits_fade.tga", AssetGrey, BandWidth, BandHeight,
                                                 "credits final dissolve levels"};

inline constexpr AssetEntry BelieveBackgroundAsset{"believe\\believe_back.tga", AssetWords, BandWidth, BandHeight,
                                                   "believe background"};
inline constexpr AssetEntry BelieveTextureAsset{"believe\\believe_txt.tga", AssetWords, TextureSide, TextureSide,
                                                "texture of the believe osma object"};
inline constexpr AssetEntry BelieveOsmaAsset{"believe\\osma.3d", AssetMesh, 0, 0, "believe textured, outlined object"};
inline constexpr AssetEntry GulaAsset{"believe\\gula.3d", AssetMesh, 0, 0,
                                      "believe object with pulsing cores; the system scene's doubled outlines"};

inline constexpr AssetEntry BuddhaPictureAsset{"buddha\\buddha_pic.tga", AssetWords, 0, 1,
                                               "buddha figure, drawn with key 0 (and inverted)"};
inline constexpr AssetEntry BuddhaScrollerAsset{"buddha\\buddha_01.tga", AssetGrey, 0, 1,
                                                "buddha scroller: non-zero bytes drawn white"};
inline constexpr AssetEntry BuddhaBoxTextureAsset{"buddha\\buddha_txt1.tga", AssetWords, TextureSide, TextureSide,
                                                  "texture of the first buddha box"};
inline constexpr AssetEntry BuddhaWarpSourceAsset{"buddha\\buddha_txt2.tga", AssetWords, TextureSide, 255,
                                                  "buddha glow warp source (rows 0 to 254 sampled)"};
inline constexpr AssetEntry BuddhaBoxAsset{"buddha\\buddha_box.3d", AssetMesh, 0, 0, "first buddha box"};
inline constexpr AssetEntry BuddhaBox2Asset{"buddha\\buddha_box2.3d", AssetMesh, 0, 0, "buddha orange wireframe box"};
inline constexpr AssetEntry BuddhaCrossfadeAsset{"buddha\\buddha_xfade.tga", AssetGrey, 256, 64,
                                                 "buddha crossfade and flicker choices"};
inline constexpr AssetEntry BuddhaMapXAsset{"buddha\\buddha_offset_x.tga", AssetGrey, TextureSide, TextureSide,
                                            "buddha warp x map"};
inline constexpr AssetEntry BuddhaMapYAsset{"buddha\\buddha_offset_y.tga", AssetGrey, TextureSide, TextureSide,
                                            "buddha warp y map"};
inline constexpr AssetEntry BuddhaGlow1Asset{"buddha\\buddha_glow1.tga", AssetGrey, TextureSide, TextureSide,
                                             "buddha glow levels, parameter bit 0 clear"};
inline constexpr AssetEntry BuddhaGlow2Asset{"buddha\\buddha_glow2.tga", AssetGrey, TextureSide, TextureSide,
                                             "buddha glow levels, parameter bit 0 set"};
inline constexpr AssetEntry BuddhaRingAsset{"buddha\\buddha_null.tga", AssetWords, 0, 1,
                                            "buddha ring sprite, drawn with key white (and inverted)"};

inline constexpr AssetEntry TitleMeshAsset{"orvanti\\orvanti.3d", AssetMesh, 0, 0, "the title object"};
inline constexpr AssetEntry TitleTextureAsset{"orvanti\\orvanti_txt.tga", AssetWords, TextureSide, 511,
                                              "title texture, seen through a window of 256 rows"};
inline constexpr AssetEntry TitleBackground1Asset{"orvanti\\orvanti_back1.tga", AssetWords, BandWidth, 639,
                                                  "title background, 3 rows a tick"};
inline constexpr AssetEntry TitleBackground2Asset{"orvanti\\orvanti_back2.tga", AssetWords, BandWidth, 639,
                                                  "title background, 2 rows a tick"};
inline constexpr AssetEntry TitleBackground3Asset{"orvanti\\orvanti_back3.tga", AssetWords, BandWidth, 639,
                                                  "title background, 1 row a tick"};
inline constexpr AssetEntry TitleColourAsset{"orvanti\\orvanti_col.tga", AssetWords, BandWidth, BandHeight,
                                             "title face colours, picked at each face's centroid"};
inline constexpr AssetEntry TitleWipeAsset{"orvanti\\orvanti_fade.tga", AssetGrey, BandWidth, BandHeight,
                                           "title wipe levels"};
inline constexpr AssetEntry TitleFlashAsset{"orvanti\\orvanti_flash.tga", AssetGrey, BandWidth, BandHeight,
                                            "title flash levels"};

inline constexpr AssetEntry BoxTextureAsset{"box\\box_txt.tga", AssetWords, TextureSide, 1023,
                                            "box texture, seen through a moving window"};
inline constexpr AssetEntry BoxOffsetAsset{"box\\box_offset.tga", AssetGrey, 960, 480, "box face shrink amounts"};
inline constexpr AssetEntry BoxMeshAsset{"box\\box_3d.3d", AssetMesh, 0, 0, "the morph and reference boxes"};
inline constexpr AssetEntry BoxRandomMeshAsset{"box\\box_3d_.3d", AssetMesh, 0, 0,
                                               "random texture coordinates for the box; never drawn"};
inline constexpr AssetEntry BoxTitleAsset{"box\\box_title.tga", AssetWords, BandWidth, 160,
                                          "box title, laid over band rows 80 to 239"};
inline constexpr AssetEntry BoxTitleMaskAsset{"box\\box_title_fade.tga", AssetGrey, 1280, 127,
                                              "which columns of the box title show"};
inline constexpr AssetEntry BoxFlashAsset{"box\\box_flash.tga", AssetGrey, BandWidth, BandHeight, "box flash levels"};

inline constexpr AssetEntry BallMapXAsset{"ball\\ball_vortex_x1.tga", AssetGrey, BandWidth, BandHeight,
                                          "ball vortex warp x map"};
inline constexpr AssetEntry BallMapYAsset{"ball\\ball_vortex_y1.tga", AssetGrey, BandWidth, BandHeight,
                                          "ball vortex warp y map"};
inline constexpr AssetEntry BallSourceAsset{"ball\\ball_vortex_txt.tga", AssetWords, TextureSide, 255,
                                            "ball vortex warp source (and inverted)"};
inline constexpr AssetEntry BallMeshAsset{"ball\\ball.3d", AssetMesh, 0, 0,
                                          "the three balls of the ball scene; the tunnel's ball"};

inline constexpr AssetEntry PlaneMapXAsset{"plane\\plane_vortex_x.tga", AssetGrey, TextureSide, TextureSide,
                                           "plane vortex warp x map"};
inline constexpr AssetEntry PlaneMapYAsset{"plane\\plane_vortex_y.tga", AssetGrey, TextureSide, TextureSide,
                                           "plane vortex warp y map"};
inline constexpr AssetEntry PlaneSourceAsset{"plane\\plane_vortex_txt.tga", AssetWords, TextureSide, 255,
                                             "plane vortex warp source (and inverted)"};
inline constexpr AssetEntry PlaneMeshAsset{"plane\\plane.3d", AssetMesh, 0, 0,
                                           "the plane at rest, roughened and blended"};

inline constexpr AssetEntry TunnelMeshAsset{"tunel\\tunel.3d", AssetMesh, 0, 0,
                                            "the tunnel: wireframe, widened and textured"};
inline constexpr AssetEntry TunnelTextureAsset{"tunel\\tunel_txt.tga", AssetWords, TextureSide, 512,
                                               "tunnel texture, seen through a window of 256 rows"};
inline constexpr AssetEntry TunnelBallTextureAsset{"tunel\\tunel_ball_txt.tga", AssetWords, TextureSide, 256,
                                                   "texture of the tunnel's ball"};
inline constexpr AssetEntry TunnelPictureAsset{"tunel\\tunel_pic.tga", AssetWords, BandWidth, BandHeight,
                                               "tunnel background during flashes"};

inline constexpr AssetEntry SystemMeshAsset{"system\\system.3d", AssetMesh, 0, 0, "the six zooming system copies"};
inline constexpr AssetEntry SystemTextureAsset{"system\\system_txt.tga", AssetWords, TextureSide, 286,
                                               "system copies' texture, through a window scrolling 2 rows a tick"};
inline constexpr AssetEntry SystemPlaneAsset{"system\\system_plane.3d", AssetMesh, 0, 0,
                                             "the system's 50 by 50 grid plane"};
inline constexpr AssetEntry SystemHeightAsset{"system\\system_high.tga", AssetGrey, 50, 50,
                                              "one height per system grid vertex"};

inline constexpr const AssetEntry *AssetTable[] = {
    &ColourTableAsset,
    &CreditsBackgroundAsset, &CreditsTextAsset, &CreditsMaskAsset, &CreditsTextureAsset, &CreditsMeshAsset,
    &CreditsDissolveAsset,
    &BelieveBackgroundAsset, &BelieveTextureAsset, &BelieveOsmaAsset, &GulaAsset,
    &BuddhaPictureAsset, &BuddhaScrollerAsset, &BuddhaBoxTextureAsset, &BuddhaWarpSourceAsset, &BuddhaBoxAsset,
    &BuddhaBox2Asset, &BuddhaCrossfadeAsset, &BuddhaMapXAsset, &BuddhaMapYAsset, &BuddhaGlow1Asset,
    &BuddhaGlow2Asset, &BuddhaRingAsset,
    &TitleMeshAsset, &TitleTextureAsset, &TitleBackground1Asset, &TitleBackground2Asset, &TitleBackground3Asset,
    &TitleColourAsset, &TitleWipeAsset, &TitleFlashAsset,
    &BoxTextureAsset, &BoxOffsetAsset, &BoxMeshAsset, &BoxRandomMeshAsset, &BoxTitleAsset, &BoxTitleMaskAsset,
    &BoxFlashAsset,
    &BallMapXAsset, &BallMapYAsset, &BallSourceAsset, &BallMeshAsset,
    &PlaneMapXAsset, &PlaneMapYAsset, &PlaneSourceAsset, &PlaneMeshAsset,
    &TunnelMeshAsset, &TunnelTextureAsset, &TunnelBallTextureAsset, &TunnelPictureAsset,
    &SystemMeshAsset, &SystemTextureAsset, &SystemPlaneAsset, &SystemHeightAsset,
};

// The row of `name` as a loader writes it, or none.
inline const AssetEntry *find_asset(const char *name)
{
    for (const AssetEntry *entry : AssetTable)
        if (std::strcmp(entry->name, name) == 0)
            return entry;
    return nullptr;
}
