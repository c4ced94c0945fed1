// How each computer level plays.
#pragma once

// How a level plays: how often it looks at the battle, how long a plan may
// fail before it is made again, how far its arrows go wrong, how well it
// uses what the gods grant. A level never has more of anything.
struct level_traits {
    float think;        // seconds between two looks at the battle
    float replan;       // seconds an ordered unit may stand before it is ordered afresh
    float aim_error;    // degrees an arrow may go off either way
    float skill;        // 0..1: how well it uses what it has: spells aimed and timed,
                        // when its soldiers sally and when they fall back
    int orders;         // orders it may give in one look, as a player's hands allow
};
const level_traits& traits_of(int level);
