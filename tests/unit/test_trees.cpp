#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "game_fixture.h"
#include "platform/paths.h"
#include "sim/model_tree.h"
#include "sim/trees.h"

namespace {

float g_raise = 0;
float tree_ground(const world&, float x, float z)
{
    return 15.5f + g_raise + 0.0f * x + 0.0f * z;
}

// The trees stand on tree_ground in a world of their own, planted from a
// trees file of the test's.
class Trees : public game_test {
protected:
    std::string path;
    void SetUp() override
    {
        g_raise = 0;
        path = "trees_test_" + std::to_string(getpid()) + ".txt";
        lobby();
        s.files.trees = path;
        new_world();
    }
    void TearDown() override { unlink(path.c_str()); }
    // A new game's world, no tree planted in it yet.
    world& new_world()
    {
        world& w = play_world();
        w.structures.ground = tree_ground;
        return w;
    }
    world& w() { return *game; }
    int chestnuts() const { return static_cast<int>(game->trees.chestnuts.size()); }
    int random_trees() const { return static_cast<int>(game->trees.random_trees.size()); }
    void write(const char* text)
    {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fputs(text, f);
        fclose(f);
    }
    std::string read_back()
    {
        std::string s;
        FILE* f = fopen(path.c_str(), "r");
        if (!f)
            return s;
        int c;
        while ((c = fgetc(f)) != EOF)
            s.push_back(static_cast<char>(c));
        fclose(f);
        return s;
    }
};

} // namespace

TEST_F(Trees, KindsLettersAndHiddenCollisionCones)
{
    write("c, 12.000000, -40.500000\nr, -7.5, 3\nx, 1, 1\n");
    EXPECT_EQ(load_trees(w()), 3);
    ASSERT_EQ(chestnuts(), 1);
    ASSERT_EQ(random_trees(), 1);
    EXPECT_EQ(w().trees.chestnuts[0].x, 12);
    EXPECT_EQ(w().trees.chestnuts[0].y, 14); // trunc(15.5 - 1)
    EXPECT_EQ(w().trees.chestnuts[0].z, -40);
    EXPECT_EQ(w().trees.random_trees[0].x, -7);
    EXPECT_EQ(w().trees.random_trees[0].y, 15);
    ASSERT_EQ(num_top_level_models(w().structures), 2);
    model_node* m = get_top_level_model(w().structures, 0);
    ASSERT_EQ(m->prim_count(), 1);
    EXPECT_EQ(m->prims[0].type, PRIM_CONE);
    EXPECT_TRUE(m->prims[0].cone.flags & PRIM_HIDDEN);
    // The trunk stands where the two picture planes cross.
    float p[3] = {12 + 5 + 5.5f, 16, -40.5f};
    float step[3] = {-1, 0, 0};
    model_node* touched = nullptr;
    do_collision_check(w().structures, p, step, 1, &touched);
    EXPECT_EQ(touched, m);
    EXPECT_NEAR(p[0], 12 + 5 + 6, 1e-4);
}

TEST_F(Trees, MalformedLineEndsLoadingMissingFileLoadsNothing)
{
    write("c, 1, 1\nr, 2, 2\nc, broken\nr, 4, 4\n");
    load_trees(w());
    EXPECT_EQ(chestnuts(), 1);
    EXPECT_EQ(random_trees(), 1);
    new_world();
    unlink(path.c_str());
    EXPECT_EQ(load_trees(w()), -1);
    EXPECT_EQ(chestnuts() + random_trees(), 0);
}

TEST_F(Trees, SaveTreeAppendsOneRandomLineAndPlantsOneChestnut)
{
    write("c, 1.000000, 1.000000\n");
    load_trees(w());
    save_tree(w(), 12, -40.5f);
    EXPECT_EQ(chestnuts(), 2);
    EXPECT_EQ(random_trees(), 0);
    EXPECT_EQ(read_back(), "c, 1.000000, 1.000000\nr, 12.000000, -40.500000\n");
    new_world();
    load_trees(w());
    EXPECT_EQ(chestnuts(), 1);
    EXPECT_EQ(random_trees(), 1);
}

TEST_F(Trees, RandomTreePictureFollowsTheGroundChestnutStays)
{
    add_chestnut(w(), 0, 0);
    add_random_tree(w(), 20, 0);
    EXPECT_EQ(tree_picture_height(w(), w().trees.chestnuts[0], 0), 14.0f);
    EXPECT_EQ(tree_picture_height(w(), w().trees.random_trees[0], 1), 15.0f);
    g_raise = 3;
    EXPECT_EQ(tree_picture_height(w(), w().trees.chestnuts[0], 0), 14.0f);
    EXPECT_EQ(tree_picture_height(w(), w().trees.random_trees[0], 1), 18.0f);
}

// An installed game's data may not be written: a planted tree goes to the
// user's own trees file, and the next load plants it beside the data's.
TEST_F(Trees, PlantedTreesGoToTheUsersFileAndAreLoadedAfterTheData)
{
    char tmpl[] = "/tmp/kelvarin_trees_XXXXXX";
    const std::string dir = mkdtemp(tmpl), here = std::filesystem::current_path();
    std::filesystem::create_directories(dir + "/installed");
    std::filesystem::create_directories(dir + "/play");
    const std::string data = dir + "/installed/" + path;
    path = data;
    write("c, 1.000000, 1.000000\n");
    setenv("KELVARIN_DATA", (dir + "/installed").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/share").c_str(), 1);
    std::filesystem::current_path(dir + "/play");
    init_paths();

    load_trees(w());
    save_tree(w(), 12, -40.5f);
    new_world();
    EXPECT_EQ(load_trees(w()), 2);
    EXPECT_EQ(chestnuts() + random_trees(), 2);
    EXPECT_EQ(read_back(), "c, 1.000000, 1.000000\n");  // the data file, untouched
    path = dir + "/share/kelvarin/" + s.files.trees;
    EXPECT_EQ(read_back(), "r, 12.000000, -40.500000\n");

    std::filesystem::current_path(here);
    unsetenv("KELVARIN_DATA");
    unsetenv("XDG_DATA_HOME");
    init_paths();
    std::filesystem::remove_all(dir);
}
