// Start-up of the siege kinds: the command receivers of arrows and balls,
// and the posting of tower archers when the walls are built.
#pragma once

void init_siege();
