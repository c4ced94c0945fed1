// The commands about units that another copy sends: a unit it made
// ("UNIT"), a death it decided ("UDIE"), an order for a unit this copy
// steers ("ORDR"), a sword blow ("USWD") and a figure made invisible
// ("INVS"). Each is a row of the message table; who may send it is the
// rights module's rule for it, asked before the handler runs.
#pragma once

#include <cstdint>

struct message_context;

void receive_unit(message_context& c, const uint32_t p[4]);
void receive_unit_death(message_context& c, const uint32_t p[4]);
void receive_order(message_context& c, const uint32_t p[4]);
void receive_sword(message_context& c, const uint32_t p[4]);
void receive_invisible(message_context& c, const uint32_t p[4]);
