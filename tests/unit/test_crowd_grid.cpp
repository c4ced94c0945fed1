// The crowd grid must not change the battle: simulate_units with the grid
// and with the plain scan give the same places, bit for bit, the same
// chosen enemies, and leave the random generator at the same point.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "crowd_scene.h"
#include "sim/dragon.h"

namespace {

struct run_result {
    std::vector<crowd_place> places;
    std::vector<int> next_random;
};

// Where the units stand and the next numbers the world's generator will
// draw.
run_result outcome(world& w)
{
    run_result r;
    r.places = crowd_places(w);
    for (int i = 0; i < 4; ++i)
        r.next_random.push_back(w.rand());
    return r;
}

run_result run_scene(int count, unsigned seed, int frames, bool grid, void (*each_frame)(world&, int) = nullptr)
{
    crowd_scene sc;
    build_crowd_scene(sc, count, seed);
    world& w = *sc.w;
    set_separation_grid(w, grid ? 1 : 0);
    for (int f = 0; f < frames; ++f) {
        if (each_frame)
            each_frame(w, f);
        w.time += 0.05f;
        simulate_units(w, 0.05f);
    }
    return outcome(w);
}

void expect_same(const run_result& a, const run_result& b)
{
    ASSERT_EQ(a.places.size(), b.places.size());
    for (size_t i = 0; i < a.places.size(); ++i) {
        SCOPED_TRACE(i);
        // Bitwise: the same floating-point operations in the same order.
        EXPECT_EQ(0, std::memcmp(&a.places[i].x, &b.places[i].x, sizeof(float) * 3));
    }
    EXPECT_EQ(a.next_random, b.next_random);
}

// Units that moved at all: the scene must really exercise the separation.
int moved_units(const run_result& r, int count, unsigned seed)
{
    crowd_scene sc;
    build_crowd_scene(sc, count, seed);
    std::vector<crowd_place> start = crowd_places(*sc.w);
    int moved = 0;
    for (size_t i = 0; i < start.size() && i < r.places.size(); ++i)
        moved += start[i].x != r.places[i].x || start[i].z != r.places[i].z;
    return moved;
}

TEST(CrowdGrid, SamePlacesAsThePlainScan)
{
    for (int count : {40, 400}) {
        SCOPED_TRACE(count);
        run_result plain = run_scene(count, 7, 30, false);
        run_result grid = run_scene(count, 7, 30, true);
        expect_same(plain, grid);
        EXPECT_GT(moved_units(plain, count, 7), count / 2);
    }
}

// A dense knot: many units inside one another, pushes far enough that the
// grid search gives way to the plain scan for the rest.
void pile_up(world& w, int frame)
{
    if (frame != 0)
        return;
    int i = 0;
    for (unit* u = w.units.list; u; u = u->next, ++i)
        if (i % 2 == 0) {
            u->x = 10.0f + static_cast<float>(i % 5) * 0.05f;
            u->z = -20.0f + static_cast<float>(i % 7) * 0.05f;
        }
}

TEST(CrowdGrid, DenseKnotAndUnitsOffTheGrid)
{
    run_result plain = run_scene(120, 11, 10, false, pile_up);
    run_result grid = run_scene(120, 11, 10, true, pile_up);
    expect_same(plain, grid);
}

// Units far outside the island and at non-finite places are filed in the
// border cells or nowhere; the outcome stays the plain scan's.
void scatter_far(world& w, int frame)
{
    if (frame != 0)
        return;
    int i = 0;
    for (unit* u = w.units.list; u; u = u->next, ++i) {
        if (i % 9 == 1) {
            u->x = 5000.0f + static_cast<float>(i % 3);
            u->z = -7000.0f;
        } else if (i % 9 == 2) {
            u->x = 1e30f;
        } else if (i % 31 == 4) {
            u->z = __builtin_nanf("");
        }
    }
}

TEST(CrowdGrid, FarAndNonFinitePlaces)
{
    run_result plain = run_scene(150, 3, 8, false, scatter_far);
    run_result grid = run_scene(150, 3, 8, true, scatter_far);
    ASSERT_EQ(plain.places.size(), grid.places.size());
    for (size_t i = 0; i < plain.places.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(0, std::memcmp(&plain.places[i].x, &grid.places[i].x, sizeof(float) * 3));
    }
    EXPECT_EQ(plain.next_random, grid.next_random);
}

// Units made and deleted in the middle of a step enter and leave the grid:
// deleting a neighbour while the grid is live must not leave a dangling
// entry (the sanitizer build catches one).
TEST(CrowdGrid, UnitsDeletedAndAddedBetweenSteps)
{
    auto churn = [](world& w, int frame) {
        if (frame % 2 == 0) {
            int i = 0;
            for (unit* u = w.units.list; u;) {
                unit* next = u->next;
                if (i++ % 11 == 3 && u != w.me)
                    del_unit(w, u);
                u = next;
            }
        } else {
            add_proto_footman(w, 1.0f, 20.0f, 1.0f)->team = 1;
        }
    };
    run_result plain = run_scene(90, 5, 12, false, churn);
    run_result grid = run_scene(90, 5, 12, true, churn);
    expect_same(plain, grid);
}

// Two armies in contact: every footman of this copy's team looks for an
// enemy each step, through the grid or through the plain scan. The chosen
// targets, the places and the random numbers drawn must all agree. Each
// frame some goblins turn invisible, some die, some stand on the very spot
// of another (equal distances: ties decided by the random draws in registry
// order), and a new goblin arrives mid-fight. Either side may be this
// copy's, and a few units belong to neither.
struct battle_result {
    run_result run;
    std::vector<uint32_t> targets;  // per unit in registry order, 0 for none
};

void stir_battle(world& w, int frame)
{
    int i = 0;
    unit* previous = nullptr;
    for (unit* u = w.units.list; u;) {
        unit* next = u->next;
        if (u->team == 0 && u != w.me) {
            if (i % 13 == frame % 13)
                u->invisible = 1 - u->invisible;
            if (i % 29 == frame % 29 && frame > 2) {
                del_unit(w, u);
                u = next;
                ++i;
                continue;
            }
            if (i % 17 == 5 && previous) {
                u->x = previous->x;
                u->z = previous->z;
            }
            previous = u;
        }
        ++i;
        u = next;
    }
    if (frame % 4 == 1)
        add_goblin(w, 0.5f * static_cast<float>(frame), 3.0f)->team = 0;
    if (frame == 0)
        for (unit* u = w.units.list; u; u = u->next)
            if (u->id % 37 == 4 && u != w.me)
                u->team = 2;
}

battle_result run_battle(int count, unsigned seed, int frames, bool grid, int local_team)
{
    crowd_scene sc;
    build_battle_scene(sc, count, seed, local_team);
    world& w = *sc.w;
    // No sword strokes: a stroke changes nothing here (the victims' health
    // counts only on their own side's copies) but what is sent, so the two
    // runs compare the looking and the separation alone.
    for (unit* u = w.units.list; u; u = u->next)
        u->last_attack_time = 1e30f;
    set_separation_grid(w, grid ? 1 : 0);
    for (int f = 0; f < frames; ++f) {
        stir_battle(w, f);
        other_side_reports(w);
        w.time += 0.05f;
        simulate_units(w, 0.05f);
    }
    battle_result r;
    for (unit* u = w.units.list; u; u = u->next)
        r.targets.push_back(u->attack_target ? u->attack_target->id : 0u);
    r.run = outcome(w);
    return r;
}

TEST(CrowdGrid, LookUnitChoosesThePlainScansEnemy)
{
    for (int side : {1, 0})
        for (int count : {60, 600}) {
            SCOPED_TRACE(count);
            SCOPED_TRACE(side);
            const battle_result plain = run_battle(count, 9, 24, false, side);
            const battle_result grid = run_battle(count, 9, 24, true, side);
            expect_same(plain.run, grid.run);
            EXPECT_EQ(plain.targets, grid.targets);
            // The scene must really fight: many units hold a target.
            int with_target = 0;
            for (uint32_t t : plain.targets)
                with_target += t != 0;
            EXPECT_GT(with_target, count / 10);
        }
}

// A unit moves during its own step, and deaths during that step make the
// dead look around once more: they must see the stepping unit where it is
// now, not where its cell entry has it. Here another copy's dragon crosses
// 200 units in one step and its breath burns footmen of this copy at the
// far end; each victim's last look finds the dragon (one random draw), so
// the random generator must end where the plain scan leaves it.
run_result burn_after_flight(bool grid)
{
    crowd_scene sc;
    build_battle_scene(sc, 60, 9, 1);
    world& w = *sc.w;
    for (unit* u = w.units.list; u; u = u->next)
        u->last_attack_time = 1e30f;
    unit* dragon = spawn_dragon(w, 0x50001u, 0, 0);
    dragon->x = -50.0f;
    dragon->y = 120.0f;
    dragon->z = 0.0f;
    dragon->heading = 0.0f;
    dragon->vx = 4000.0f;
    dragon->last_attack_time = 0.0f;
    dragon_of(dragon)->breath->intensity = DRAGON_BREATH_ON;
    int placed = 0;
    for (unit* u = w.units.list; u && placed < 5; u = u->next)
        if (u->team == 1) {
            u->x = 157.0f + static_cast<float>(placed++);
            u->y = 122.5f;
            u->z = 0.0f;
            u->health = 0.1f;
        }
    set_separation_grid(w, grid ? 1 : 0);
    w.time += 0.05f;
    simulate_units(w, 0.05f);
    return outcome(w);
}

TEST(CrowdGrid, DeathsMidStepSeeTheSteppingUnitWhereItIs)
{
    const run_result plain = burn_after_flight(false);
    const run_result grid = burn_after_flight(true);
    EXPECT_EQ(plain.places.size(), 62u - 5u);  // 60, the own figure and the dragon; five burned
    expect_same(plain, grid);
}

} // namespace
