#include "units/siege.h"

#include "ui/magic.h"
#include "units/archer.h"
#include "units/catapult.h"
#include "units/projectile.h"
#include "world/lightning.h"

void init_siege()
{
    init_projectile_commands();
    init_catapult_commands();
    init_archers();
    register_lightning_command();
    register_magic_commands();
}
