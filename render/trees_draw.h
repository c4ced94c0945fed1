// Drawing the trees placed from "trees.txt".
#pragma once

void draw_trees();
