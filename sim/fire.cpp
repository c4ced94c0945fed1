#include "sim/fire.h"

#include <algorithm>

static std::vector<const fire_source*> s_live;
static unsigned s_next_serial = 1;

fire_source::fire_source() : serial(s_next_serial++)
{
    s_live.push_back(this);
}

fire_source::~fire_source()
{
    s_live.erase(std::find(s_live.begin(), s_live.end(), this));
}

const std::vector<const fire_source*>& live_fire_sources()
{
    return s_live;
}
