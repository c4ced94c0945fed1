#include "sim/fire.h"

#include <algorithm>

fire_source::fire_source(fire_list& list) : serial(list.next_serial++), list_(list)
{
    list_.live.push_back(this);
}

fire_source::~fire_source()
{
    list_.live.erase(std::find(list_.live.begin(), list_.live.end(), this));
}
