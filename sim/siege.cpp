#include "sim/siege.h"

#include "sim/magic.h"
#include "sim/archer.h"
#include "sim/catapult.h"
#include "sim/projectile.h"
#include "sim/lightning.h"

void init_siege()
{
    init_projectile_commands();
    init_catapult_commands();
    init_archers();
    register_lightning_command();
    register_magic_commands();
}
