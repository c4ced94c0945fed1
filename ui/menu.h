// The main and settings menus, the textured menu font and the buttons.
#pragma once

void init_menu();
void draw_menu();
void simulate_menu(float dt);
void menu_click(int x, int y, int b);
void menu_key(int code);
