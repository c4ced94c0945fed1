// Generators for every picture of the game. Each returns the picture with
// row 0 at its top; make_textures.cpp knows which way up each one is stored.
#pragma once

#include <string>

#include "tex_image.h"

// Seamlessly tiling surfaces (tex_materials.cpp).
Image make_wood();
Image make_stone_floor();
Image make_marble();
Image make_column();
Image make_kelvarin_gate();
Image make_stucco();
Image make_wood_ceiling();
Image make_water();
Image make_fabric();
Image make_dragon_skin(bool red);
Image make_terrain_detail();

// Sky, clouds and the menu backgrounds (tex_sky.cpp).
enum class SkyFace { front, back, left, right, top };
Image make_sky_face(SkyFace face, int size);
Image make_cloud(int variant);
Image make_sky_menu();
Image make_sky_button();

// Trees and sprites (tex_plants.cpp).
Image make_tree_chestnut();
Image make_tree_random();
Image make_oak();
Image make_flame();

// Command, spell and summon buttons and small pictures (tex_icons.cpp).
Image make_icon(const std::string& name);
Image make_crosshairs();
Image make_wheel();
Image make_house();
// The game's own icon for desktops, drawn in a 128 x 128 space (y down)
// on any Cairo surface.
void draw_game_icon(cairo_t* cr);

// The menu font (tex_font.cpp). Returns an empty image when the font file
// cannot be read.
Image make_alphabet(const std::string& font_path);
