// Drawing the trees placed from "trees.txt".
#pragma once

struct renderer;
struct world;

void draw_trees(renderer& r, const world& w);
