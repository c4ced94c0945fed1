#include "ui/interface.h"

#include "core/main_loop.h"
#include "ui/menu.h"

void interface_click(int x, int y, int b)
{
    switch (game_state) {
    case STATE_MENU:
        menu_click(x, y, b);
        break;
    default:
        break;
    }
}

void interface_key(int key)
{
    switch (game_state) {
    case STATE_MENU:
        menu_key(key);
        break;
    default:
        break;
    }
}
