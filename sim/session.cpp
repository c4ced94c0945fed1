#include "sim/session.h"

session::session()
{
    init_teams(teams);
}
