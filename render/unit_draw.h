// Drawing the units: each kind's look, and a ring with a health bar around
// the ones this copy's player selected.
#pragma once

#include <cstdint>
#include <vector>

struct renderer;
struct unit;
struct world;

void draw_units(renderer& r, const world& w, const std::vector<uint32_t>& selected);
void draw_billboarded_circle(const renderer& r, const world& w, const unit* u);
