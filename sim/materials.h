// The materials of the world: every texture the game loads, by name. The
// simulation's records (a structure's faces, a cloud) hold these ids; the
// renderer looks each one up in its table of loaded textures.
#pragma once

// Every texture the game loads, in load order; the last one goes on the
// second texture unit. The renderer keeps the loaded one of each in its
// texture table (render/textures.h), indexed by the material id.
#define KELVARIN_TEXTURE_TABLE(X)                                                                           \
    X(alphabet) X(wheel) X(wood) X(flame) X(column) X(stone_floor) X(marble) X(kelvarin_gate) X(house)       \
    X(cloud1) X(cloud2) X(stucco) X(wood_ceiling) X(lightning) X(crosshairs) X(water) X(fabric)              \
    X(tree_chestnut) X(tree_random) X(lower_gate) X(raise_gate) X(select_catas) X(stop_button)               \
    X(move_button) X(attack_button) X(pray_button) X(firestorm) X(invisibility) X(sky_menu) X(sky_button)    \
    X(sky_front) X(sky_back) X(sky_top) X(sky_left) X(sky_right) X(oak) X(dragon_skin_red)                    \
    X(dragon_skin_green) X(dragon_summon_button) X(dragon_dismount_button) X(catapult_summon_button)        \
    X(ram_button) X(footman_button) X(ghoul_button) X(goblin_button) X(terrain_detail)

// A material id: the texture's place in the table (TEX_alphabet = 0, ...).
enum material : unsigned {
#define KELVARIN_MATERIAL_ID(name) TEX_##name,
    KELVARIN_TEXTURE_TABLE(KELVARIN_MATERIAL_ID)
#undef KELVARIN_MATERIAL_ID
    TEXTURE_COUNT
};
