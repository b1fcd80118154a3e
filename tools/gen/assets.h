// Data names of the shared objects every track uses, in one place for the painters, the
// model and shape writers and the object placement.
#pragma once

inline constexpr const char *HAY_MODEL = "@objects/haybale.jm";
inline constexpr const char *HAY_TEXTURE = "@objects/hay-repeat.png";
inline constexpr const char *HAY_SHAPE = "@objects/haybale.shp";
inline constexpr const char *TUFF_MODEL = "@objects/tuffblock.jm";
inline constexpr const char *TUFF_TEXTURE = "@objects/tuff-repeat.png";
inline constexpr const char *TUFF_SHAPE = "@objects/tuffblock.shp";
inline constexpr const char *TYRE_MODEL = "@objects/tyrewall.jm";
inline constexpr const char *TYRE_TEXTURE = "@objects/tyre-repeat.png";
inline constexpr const char *TYRE_SHAPE = "@objects/tyrewall.shp";
// The start gate the timing reader puts in front of every start place.
inline constexpr const char *STARTGATE_MODEL = "@startgate.jm";
inline constexpr const char *STARTGATE_TEXTURE = "@startgate.ppm";
inline constexpr const char *STARTGATE_SHAPE = "@startgate.shp";

inline constexpr const char *TREE_PICTURES[] = {"@objects/tree_oak.png", "@objects/tree_pine.png",
                                                "@objects/tree_birch.png"};
inline constexpr const char *SHRUB_PICTURE = "@objects/shrub.png";
inline constexpr const char *BANNER_PICTURES[] = {"@objects/banner_rutmoor.png",
                                                  "@objects/banner_stripes.png",
                                                  "@objects/banner_go.png"};
inline constexpr const char *FENCE_PICTURE = "@objects/fence.png";
inline constexpr const char *FLAGGER_PICTURE = "@objects/flagger.png";
inline constexpr const char *FLAGGER_ACTIVE_PICTURE = "@objects/flagger_active.png";
inline constexpr const char *START_MARSHAL_PICTURE_NAMES[] = {
    "@objects/marshal_1.png", "@objects/marshal_2.png", "@objects/marshal_3.png",
    "@objects/marshal_4.png", "@objects/marshal_5.png"};
inline constexpr const char *LAP_BOARD_PICTURE_NAMES[] = {
    "@objects/lapboard_1.png", "@objects/lapboard_2.png", "@objects/lapboard_3.png",
    "@objects/lapboard_4.png"};
inline constexpr const char *FLARE_PICTURES[] = {"@objects/flare_glow.png",
                                                 "@objects/flare_ring.png",
                                                 "@objects/flare_disc.png"};
inline constexpr const char *DECAL_STARTLINE = "@decals/startline.png";
inline constexpr const char *DECAL_SKID = "@decals/skid.png";
inline constexpr const char *DECAL_LOGO = "@decals/logo.png";
