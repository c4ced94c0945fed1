#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "render/textures.h"
#include "render/terrain_render.h"

namespace {

// The files these tests write go to a directory of their own, removed when
// the tests end (not into the working directory, which may be the source
// tree).
struct scratch_dir {
    std::string path;
    scratch_dir()
    {
        char tmpl[] = "/tmp/kvt-textures-XXXXXX";
        const char* d = mkdtemp(tmpl);
        path = d ? d : ".";
    }
    ~scratch_dir()
    {
        if (path != ".")
            std::filesystem::remove_all(path);
    }
};

std::string scratch(const std::string& name)
{
    static scratch_dir dir;
    return dir.path + "/" + name;
}

void put32(std::vector<unsigned char>& v, int32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<unsigned char>((static_cast<uint32_t>(x) >> (8 * i)) & 0xff));
}

std::string write_file(const std::string& name, int32_t w, int32_t h, int32_t bpp, size_t pixel_bytes)
{
    std::vector<unsigned char> bytes;
    put32(bytes, w);
    put32(bytes, h);
    put32(bytes, bpp);
    for (size_t i = 0; i < pixel_bytes; ++i)
        bytes.push_back(static_cast<unsigned char>(i * 7));
    const std::string path = scratch(name);
    FILE* f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

struct read_result {
    bool ok;
    std::string err;
};

read_result read(const std::string& path, texture_record& rec)
{
    testing::internal::CaptureStderr();
    bool ok = read_texture_path(path.c_str(), rec);
    return {ok, testing::internal::GetCapturedStderr()};
}

} // namespace

TEST(TextureFile, GoodFilesOfEveryShape)
{
    texture_record rec;
    ASSERT_TRUE(read(write_file("t1.tex", 1, 1, 3, 3), rec).ok);
    EXPECT_EQ(rec.width, 1);
    EXPECT_EQ(rec.height, 1);
    EXPECT_EQ(rec.pixels.size(), 3u);

    ASSERT_TRUE(read(write_file("t2.tex", 64, 1, 4, 256), rec).ok);
    EXPECT_EQ(rec.width, 64);
    EXPECT_EQ(rec.bytes_per_pixel, 4);

    // Trailing bytes after the pixels are ignored.
    ASSERT_TRUE(read(write_file("t3.tex", 100, 60, 3, 100 * 60 * 3 + 17), rec).ok);
    EXPECT_EQ(rec.pixels.size(), 18000u);
    EXPECT_EQ(rec.pixels[1], 7);
}

TEST(TextureFile, MissingAndEmptyFilesUseTheFixedMessages)
{
    texture_record rec;
    const std::string missing = scratch("no_such_file.tex");
    auto r = read(missing, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("couldn't open .tex input: " + missing), std::string::npos) << r.err;

    const std::string empty = scratch("empty.tex");
    FILE* f = fopen(empty.c_str(), "wb");
    fclose(f);
    r = read(empty, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("couldn't read header .tex input: " + empty), std::string::npos) << r.err;

    const std::string nodata = write_file("nodata.tex", 4, 4, 3, 0);
    r = read(nodata, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("couldn't read data .tex input: " + nodata), std::string::npos) << r.err;
}

TEST(TextureFile, HostileHeadersAreRejectedWithoutHugeAllocations)
{
    texture_record rec;
    struct bad {
        int32_t w, h, bpp;
    };
    for (bad b : {bad{-4, 4, 3}, bad{4, -4, 3}, bad{0, 4, 3}, bad{4, 4, 2}, bad{4, 4, 5}, bad{4, 4, -3},
                  bad{65536, 65536, 4}, bad{2147483647, 2147483647, 4}, bad{8192, 8192, 4}}) {
        auto r = read(write_file("bad.tex", b.w, b.h, b.bpp, 48), rec);
        EXPECT_FALSE(r.ok) << b.w << "x" << b.h << "x" << b.bpp;
        EXPECT_NE(r.err.find(".tex input: " + scratch("bad.tex")), std::string::npos) << r.err;
        EXPECT_TRUE(rec.pixels.empty());
    }
    // A short header and a short pixel section.
    const std::string short_header = scratch("short.tex");
    FILE* f = fopen(short_header.c_str(), "wb");
    fwrite("\x04\x00\x00\x00\x04", 1, 5, f);
    fclose(f);
    auto r = read(short_header, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("couldn't read header .tex input: " + short_header), std::string::npos) << r.err;

    const std::string short_data = write_file("shortdata.tex", 4, 4, 3, 47);
    r = read(short_data, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("couldn't read data .tex input: " + short_data), std::string::npos) << r.err;
}

// Every texture has a slot in the renderer's table, its material id, in
// load order; the last (the detail layer) goes on the second texture unit.
TEST(TextureTable, EveryTextureHasASlotInLoadOrder)
{
    std::vector<std::string> names;
#define NAME(n) names.push_back(#n);
    KELVARIN_TEXTURE_TABLE(NAME)
#undef NAME
    ASSERT_EQ(names.size(), 46u);
    EXPECT_EQ(names.front(), "alphabet");
    EXPECT_EQ(names.back(), "terrain_detail");
    EXPECT_EQ(names[35], "oak");
    EXPECT_EQ(static_cast<size_t>(TEXTURE_COUNT), names.size());
    EXPECT_EQ(TEX_alphabet, 0u);
    EXPECT_EQ(TEX_oak, 35u);
    EXPECT_EQ(TEX_terrain_detail, TEXTURE_COUNT - 1);

    // A material's texture is its slot's; none before loading or past the table.
    texture_table table;
    EXPECT_EQ(table[TEX_oak], 0u);
    table.id[TEX_oak] = 17;
    table.id[TEX_terrain_detail] = 23;
    EXPECT_EQ(table[TEX_oak], 17u);
    EXPECT_EQ(table[TEX_terrain_detail], 23u);
    EXPECT_EQ(table[TEX_marble], 0u);
    EXPECT_EQ(table[TEXTURE_COUNT], 0u);
    EXPECT_EQ(table[~0u], 0u);
}

// Far ground is drawn with one texture: the colour texture times the detail
// layer's mean. A wrong channel, stride or scale shows as a seam of another
// shade where the near ground with its detail layer meets it.
TEST(TextureMean, FarGroundIsTheColourTimesTheDetailLayersMean)
{
    texture_record rgb{2, 1, 3, {10, 20, 30, 30, 60, 90}};
    float mean[3];
    texture_mean_colour(rgb, mean);
    EXPECT_FLOAT_EQ(mean[0] * 255.0f, 20.0f);
    EXPECT_FLOAT_EQ(mean[1] * 255.0f, 40.0f);
    EXPECT_FLOAT_EQ(mean[2] * 255.0f, 60.0f);

    texture_record rgba{1, 2, 4, {0, 100, 200, 7, 255, 50, 100, 9}};
    texture_mean_colour(rgba, mean);
    EXPECT_FLOAT_EQ(mean[0] * 255.0f, 127.5f);
    EXPECT_FLOAT_EQ(mean[1] * 255.0f, 75.0f);
    EXPECT_FLOAT_EQ(mean[2] * 255.0f, 150.0f);

    // No layer, or a short one: white, which leaves the ground as it is.
    for (const texture_record& bad : {texture_record{}, texture_record{4, 4, 3, {1, 2, 3}}}) {
        texture_mean_colour(bad, mean);
        EXPECT_EQ(mean[0] + mean[1] + mean[2], 3.0f);
    }

    const float m[3] = {0.5f, 0.25f, 1.0f};
    EXPECT_EQ(terrain_plain_texels({200, 100, 0, 255, 255, 255}, m),
              (std::vector<unsigned char>{100, 25, 0, 128, 64, 255}));
}
