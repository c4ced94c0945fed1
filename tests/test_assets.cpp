// Checks of the generated data files: every texture and sound the game loads
// exists, parses, and has the properties the drawing and sound code rely on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The data directory is the working directory when run by CTest; fall back to
// the build's data directory when started by hand from elsewhere.
class DataDirectory : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (access("textures", F_OK) != 0) {
            ASSERT_EQ(chdir(KELVARIN_ASSET_DIR), 0) << KELVARIN_ASSET_DIR;
        }
    }
};
const auto* const data_directory = ::testing::AddGlobalTestEnvironment(new DataDirectory);

const std::vector<std::string> kTextures = {
    "alphabet", "wheel", "wood", "flame", "column", "stone_floor", "marble", "kelvarin_gate", "house",
    "cloud1", "cloud2", "stucco", "wood_ceiling", "lightning", "crosshairs", "water", "fabric",
    "tree_chestnut", "tree_random", "lower_gate", "raise_gate", "select_catas", "stop_button",
    "move_button", "attack_button", "pray_button", "firestorm", "invisibility", "sky_menu", "sky_button",
    "sky_front", "sky_back", "sky_top", "sky_left", "sky_right", "oak", "dragon_skin_red",
    "dragon_skin_green", "dragon_summon_button", "dragon_dismount_button", "catapult_summon_button",
    "ram_button", "footman_button", "ghoul_button", "goblin_button", "terrain_detail"};

const std::vector<std::string> kButtons = {
    "lightning", "lower_gate", "raise_gate", "select_catas", "stop_button", "move_button", "attack_button",
    "pray_button", "firestorm", "invisibility", "dragon_summon_button", "dragon_dismount_button",
    "catapult_summon_button", "ram_button", "footman_button", "ghoul_button", "goblin_button"};

const std::vector<std::string> kTiling = {"wood", "stone_floor", "marble", "column", "kelvarin_gate", "stucco",
                                          "wood_ceiling", "water", "fabric", "dragon_skin_red",
                                          "dragon_skin_green", "terrain_detail"};

std::vector<uint8_t> read_file(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

int32_t le32(const uint8_t* p) { return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24)); }
int le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// A texture as stored: row 0 is the first row of the file (t = 0).
struct Tex {
    int w = 0, h = 0, bpp = 0;
    std::vector<uint8_t> px;
    int at(int x, int y, int c) const { return px[(static_cast<size_t>(y) * w + x) * bpp + c]; }
    int alpha(int x, int y) const { return bpp == 4 ? at(x, y, 3) : 255; }
    float luma(int x, int y) const { return 0.3f * at(x, y, 0) + 0.59f * at(x, y, 1) + 0.11f * at(x, y, 2); }
};

Tex load_tex(const std::string& name)
{
    Tex t;
    std::vector<uint8_t> bytes = read_file("textures/" + name + ".tex");
    if (bytes.size() < 12) {
        ADD_FAILURE() << name << ": missing or shorter than its header";
        return t;
    }
    t.w = le32(&bytes[0]);
    t.h = le32(&bytes[4]);
    t.bpp = le32(&bytes[8]);
    size_t need = 12 + static_cast<size_t>(std::max(t.w, 0)) * std::max(t.h, 0) * std::max(t.bpp, 0);
    if (t.w <= 0 || t.h <= 0 || (t.bpp != 3 && t.bpp != 4) || bytes.size() != need) {
        ADD_FAILURE() << name << ": bad header " << t.w << "x" << t.h << "x" << t.bpp << " for " << bytes.size() << " bytes";
        t.w = t.h = 0;
        return t;
    }
    t.px.assign(bytes.begin() + 12, bytes.end());
    return t;
}

bool power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }

// Mean absolute channel difference between two columns (or rows) of a texture.
float column_diff(const Tex& t, int a, int b)
{
    double sum = 0;
    for (int y = 0; y < t.h; ++y)
        for (int c = 0; c < 3; ++c) sum += std::abs(t.at(a, y, c) - t.at(b, y, c));
    return static_cast<float>(sum / (3.0 * t.h));
}

float row_diff(const Tex& t, int a, int b)
{
    double sum = 0;
    for (int x = 0; x < t.w; ++x)
        for (int c = 0; c < 3; ++c) sum += std::abs(t.at(x, a, c) - t.at(x, b, c));
    return static_cast<float>(sum / (3.0 * t.w));
}

// --- textures ---------------------------------------------------------------

TEST(Textures, EveryTableEntryExistsWithSaneHeader)
{
    for (const std::string& name : kTextures) {
        Tex t = load_tex(name);
        if (t.w == 0) continue;
        EXPECT_TRUE(power_of_two(t.w) && power_of_two(t.h)) << name << " " << t.w << "x" << t.h;
        EXPECT_GE(std::min(t.w, t.h), 32) << name;
        EXPECT_LE(std::max(t.w, t.h), 512) << name;
        // Not a flat colour.
        int lo = 3 * 255, hi = 0;
        for (size_t i = 0; i < t.px.size(); i += t.bpp) {
            lo = std::min<int>(lo, t.px[i] + t.px[i + 1] + t.px[i + 2]);
            hi = std::max<int>(hi, t.px[i] + t.px[i + 1] + t.px[i + 2]);
        }
        if (name != "alphabet" && name != "crosshairs") {
            EXPECT_GT(hi - lo, 30) << name << " has no detail";
        }
    }
}

TEST(Textures, SpritesAndBillboardsCarryAlpha)
{
    for (const char* name : {"alphabet", "flame", "cloud1", "cloud2", "crosshairs", "tree_chestnut", "tree_random", "oak"}) {
        Tex t = load_tex(name);
        if (t.w == 0) continue;
        ASSERT_EQ(t.bpp, 4) << name;
        int clear = 0, solid = 0;
        for (int y = 0; y < t.h; ++y)
            for (int x = 0; x < t.w; ++x) {
                clear += t.alpha(x, y) == 0;
                solid += t.alpha(x, y) >= 250;
            }
        EXPECT_GT(clear, t.w * t.h / 20) << name;
        EXPECT_GT(solid, t.w * t.h / 100) << name;
        // Sprites fade out before their border, so quads show no edges; the
        // trees stand on their bottom edge.
        if (std::string(name) == "alphabet") continue;
        bool tree = std::string(name) == "oak" || std::string(name).rfind("tree", 0) == 0;
        int border = 0;
        for (int i = 0; i < t.w; ++i) border = std::max({border, t.alpha(i, 0), tree ? 0 : t.alpha(i, t.h - 1)});
        for (int i = 0; i < t.h; ++i) border = std::max({border, t.alpha(0, i), t.alpha(t.w - 1, i)});
        EXPECT_EQ(border, 0) << name;
    }
}

TEST(Textures, TreesAreAlphaTestedUprightBillboards)
{
    // The game draws only texels whose alpha is exactly 1, with t = 0 at the
    // top of the tree: the first rows are clear sky, the last rows hold the
    // trunk in the middle, where the two crossed planes meet.
    for (const char* name : {"tree_chestnut", "tree_random", "oak"}) {
        Tex t = load_tex(name);
        if (t.w == 0) continue;
        for (int y = 0; y < t.h; ++y)
            for (int x = 0; x < t.w; ++x) ASSERT_TRUE(t.alpha(x, y) == 0 || t.alpha(x, y) == 255) << name;
        int top_ink = 0, bottom_mid = 0, bottom_side = 0;
        for (int x = 0; x < t.w; ++x) top_ink += t.alpha(x, 0) > 0;
        for (int x = 0; x < t.w; ++x) {
            bool mid = std::abs(x - t.w / 2) < t.w / 16;
            (mid ? bottom_mid : bottom_side) += t.alpha(x, t.h - 1) > 0;
        }
        EXPECT_EQ(top_ink, 0) << name;
        EXPECT_GT(bottom_mid, 4) << name << ": the trunk must reach the ground in the middle";
        EXPECT_LT(bottom_side, t.w / 4) << name;
        // Leaves are green: over the opaque upper half, green dominates.
        double r = 0, g = 0, b = 0;
        for (int y = 0; y < t.h / 2; ++y)
            for (int x = 0; x < t.w; ++x)
                if (t.alpha(x, y)) r += t.at(x, y, 0), g += t.at(x, y, 1), b += t.at(x, y, 2);
        EXPECT_GT(g, r) << name;
        EXPECT_GT(g, b) << name;
    }
}

TEST(Textures, MaterialsTileSeamlessly)
{
    // Across the wrap-around seam the texture must change no more than it
    // does between neighbouring columns or rows anywhere inside it (joints
    // of stones or shingles included). Unrelated columns differ far more.
    for (const std::string& name : kTiling) {
        Tex t = load_tex(name);
        if (t.w == 0) continue;
        float inner_c = 0, inner_r = 0;
        for (int k = 0; k + 1 < t.w; ++k) inner_c = std::max(inner_c, column_diff(t, k, k + 1));
        for (int k = 0; k + 1 < t.h; ++k) inner_r = std::max(inner_r, row_diff(t, k, k + 1));
        EXPECT_LE(column_diff(t, t.w - 1, 0), 1.1f * inner_c + 1.0f) << name << " left/right seam";
        EXPECT_LE(row_diff(t, t.h - 1, 0), 1.1f * inner_r + 1.0f) << name << " top/bottom seam";
    }
}

TEST(Textures, MaterialColours)
{
    auto mean = [](const Tex& t, int c) {
        double s = 0;
        for (int y = 0; y < t.h; ++y)
            for (int x = 0; x < t.w; ++x) s += t.at(x, y, c);
        return s / (static_cast<double>(t.w) * t.h);
    };
    // The detail layer multiplies the terrain colour: it must stay bright and grey.
    Tex detail = load_tex("terrain_detail");
    ASSERT_GT(detail.w, 0);
    EXPECT_GT(mean(detail, 1), 190.0);
    EXPECT_LT(mean(detail, 1), 240.0);
    EXPECT_LT(std::abs(mean(detail, 0) - mean(detail, 2)), 12.0);
    Tex red = load_tex("dragon_skin_red"), green = load_tex("dragon_skin_green"), water = load_tex("water");
    ASSERT_GT(red.w, 0);
    ASSERT_GT(green.w, 0);
    ASSERT_GT(water.w, 0);
    EXPECT_GT(mean(red, 0), 2.0 * mean(red, 1));
    EXPECT_GT(mean(green, 1), 1.5 * mean(green, 0));
    EXPECT_GT(mean(water, 2), 1.5 * mean(water, 0));
    // Marble and stucco are light surfaces; the fabric is light so clothing colours show.
    for (const char* name : {"marble", "column", "stucco", "fabric"}) {
        Tex t = load_tex(name);
        ASSERT_GT(t.w, 0) << name;
        EXPECT_GT(mean(t, 1), 170.0) << name;
    }
}

TEST(Textures, SkyBoxFacesMeetWithoutSeams)
{
    Tex front = load_tex("sky_front"), back = load_tex("sky_back"), left = load_tex("sky_left"),
        right = load_tex("sky_right"), top = load_tex("sky_top");
    for (const Tex* t : {&front, &back, &left, &right, &top}) {
        ASSERT_GT(t->w, 0);
        ASSERT_EQ(t->w, front.w);
        ASSERT_EQ(t->h, front.h);
    }
    const int n = front.w, last = n - 1;
    // Largest channel difference along an edge pair; (x, y) of both faces as functions of i.
    auto edge = [&](const Tex& a, auto pa, const Tex& b, auto pb) {
        int worst = 0;
        for (int i = 0; i < n; ++i) {
            auto [ax, ay] = pa(i);
            auto [bx, by] = pb(i);
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(a.at(ax, ay, c) - b.at(bx, by, c)));
        }
        return worst;
    };
    using P = std::pair<int, int>;
    auto col = [](int x) { return [x](int i) { return P{x, i}; }; };
    auto row = [](int y) { return [y](int i) { return P{i, y}; }; };
    auto row_rev = [last](int y) { return [y, last](int i) { return P{last - i, y}; }; };
    auto col_rev = [last](int x) { return [x, last](int i) { return P{x, last - i}; }; };
    // Vertical edges between the side faces (rows are heights, t = 0 at the top).
    EXPECT_LE(edge(front, col(0), right, col(last)), 3) << "front/right";
    EXPECT_LE(edge(front, col(last), left, col(0)), 3) << "front/left";
    EXPECT_LE(edge(back, col(0), left, col(last)), 3) << "back/left";
    EXPECT_LE(edge(back, col(last), right, col(0)), 3) << "back/right";
    // The top face's edges against the top rows of the sides.
    EXPECT_LE(edge(top, row(last), front, row(0)), 3) << "top/front";
    EXPECT_LE(edge(top, row_rev(0), back, row(0)), 3) << "top/back";
    EXPECT_LE(edge(top, [](int i) { return P{0, i}; }, right, row(0)), 3) << "top/right";
    EXPECT_LE(edge(top, col_rev(last), left, row(0)), 3) << "top/left";
    // It is a sky: blue overhead, paler haze at the horizon (the last rows of a side).
    auto mean = [](const Tex& t, int y0, int y1, int c) {
        double s = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < t.w; ++x) s += t.at(x, y, c);
        return s / ((y1 - y0) * t.w);
    };
    EXPECT_GT(mean(top, 0, n, 2), mean(top, 0, n, 0) + 20);
    for (const Tex* t : {&front, &back, &left, &right}) {
        EXPECT_GT(mean(*t, n - 8, n, 0), mean(*t, 0, 8, 0)) << "horizon should be paler than the upper sky";
    }
}

TEST(Textures, CloudsFadeOutBeforeTheirEdges)
{
    for (const char* name : {"cloud1", "cloud2"}) {
        Tex t = load_tex(name);
        if (t.w == 0) continue;
        int worst = 0;
        for (int i = 0; i < t.w; ++i)
            worst = std::max({worst, t.alpha(i, 0), t.alpha(i, t.h - 1), t.alpha(0, i), t.alpha(t.w - 1, i)});
        EXPECT_EQ(worst, 0) << name;
        EXPECT_GT(t.alpha(t.w / 2, t.h / 2), 128) << name;
        EXPECT_GT(t.luma(t.w / 2, t.h / 2), 180.0f) << name << " should be white";
    }
}

// --- the menu font ------------------------------------------------------------

const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

float advance(char c)
{
    switch (c) {
    case 'A': return 0.81f;
    case 'I': case 'f': case 'l': return 0.4f;
    case 'i': return 0.35f;
    case 't': return 0.45f;
    case 'r': return 0.5f;
    case 'g': return 0.55f;
    case 'b': case 'd': case 'h': case 'k': case 'o': case 'p': case 's': return 0.6f;
    case 'a': case 'u': case 'v': return 0.65f;
    case 'c': return 0.63f;
    case 'e': return 0.67f;
    case 'N': case 'Y': case 'y': return 0.7f;
    case 'n': case 'B': case 'E': case 'F': case 'H': case 'L': case 'S': case 'U': case 'V': case 'Z': return 0.75f;
    case 'C': case 'D': case 'G': case 'Q': case 'R': case 'T': return 0.8f;
    case 'M': return 0.9f;
    case 'm': return 0.95f;
    default: return 1.0f;
    }
}

struct GlyphBox {
    int x0, y0, x1, y1;  // texels whose centres lie inside the sampled rectangle (inclusive)
};

GlyphBox glyph_box(int i, int size)
{
    int col = i % 8, row = i / 8;
    auto first = [](float edge) { return static_cast<int>(std::ceil(edge - 0.5f)); };
    auto final_ = [](float edge) { return static_cast<int>(std::floor(edge - 0.5f)); };
    float s0 = (0.125f * col + 0.02f) * size, s1 = (0.125f * col + 0.11f) * size;
    float t0 = (0.125f * row + 0.007f) * size, t1 = (0.125f * row + 0.11f) * size;
    return GlyphBox{first(s0), first(t0), final_(s1), final_(t1)};
}

TEST(Alphabet, InkOnlyInsideTheGlyphRectangles)
{
    Tex t = load_tex("alphabet");
    ASSERT_EQ(t.bpp, 4);
    ASSERT_EQ(t.w, t.h);
    std::vector<int> owner(static_cast<size_t>(t.w) * t.h, -1);
    for (int i = 0; i < 52; ++i) {
        GlyphBox b = glyph_box(i, t.w);
        for (int y = b.y0; y <= b.y1; ++y)
            for (int x = b.x0; x <= b.x1; ++x) owner[static_cast<size_t>(y) * t.w + x] = i;
    }
    std::vector<int> ink(52, 0);
    int stray = 0;
    for (int y = 0; y < t.h; ++y)
        for (int x = 0; x < t.w; ++x) {
            if (t.alpha(x, y) == 0) continue;
            int o = owner[static_cast<size_t>(y) * t.w + x];
            if (o < 0) ++stray;
            else ++ink[o];
            // White glyphs: the colour comes from the current GL colour.
            EXPECT_EQ(t.at(x, y, 0) + t.at(x, y, 1) + t.at(x, y, 2), 3 * 255);
        }
    EXPECT_EQ(stray, 0);
    for (int i = 0; i < 52; ++i) EXPECT_GT(ink[i], 60) << kLetters[i];
}

// Ink extent of letter i in texels, relative to its glyph box.
struct Extent {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    std::vector<int> row_ink, col_ink;
};

Extent extent(const Tex& t, int i)
{
    GlyphBox b = glyph_box(i, t.w);
    Extent e;
    e.row_ink.assign(b.y1 - b.y0 + 1, 0);
    e.col_ink.assign(b.x1 - b.x0 + 1, 0);
    for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x)
            if (t.alpha(x, y) > 128) {
                e.left = std::min(e.left, x - b.x0);
                e.right = std::max(e.right, x - b.x0);
                e.top = std::min(e.top, y - b.y0);
                e.bottom = std::max(e.bottom, y - b.y0);
                ++e.row_ink[y - b.y0];
                ++e.col_ink[x - b.x0];
            }
    return e;
}

TEST(Alphabet, LettersAreUprightWithTheirTopAtSmallerT)
{
    Tex t = load_tex("alphabet");
    ASSERT_EQ(t.bpp, 4);
    auto index = [](char c) { return static_cast<int>(std::strchr(kLetters, c) - kLetters); };
    // 'T': the widest row is its bar, at the top (smaller t).
    Extent T = extent(t, index('T'));
    int widest = static_cast<int>(std::max_element(T.row_ink.begin(), T.row_ink.end()) - T.row_ink.begin());
    EXPECT_LT(widest, T.top + 8);
    // 'L': the bar lies at the bottom and the stem on the left (no mirror image).
    Extent L = extent(t, index('L'));
    widest = static_cast<int>(std::max_element(L.row_ink.begin(), L.row_ink.end()) - L.row_ink.begin());
    EXPECT_GT(widest, L.bottom - 8);
    int tallest = static_cast<int>(std::max_element(L.col_ink.begin(), L.col_ink.end()) - L.col_ink.begin());
    EXPECT_LT(tallest, L.left + 8);
    // Descenders reach further towards larger t than the baseline of 'a'.
    Extent a = extent(t, index('a'));
    for (char c : {'g', 'p', 'q', 'y'}) EXPECT_GT(extent(t, index(c)).bottom, a.bottom + 5) << c;
    // Capitals and ascenders fill the height; the x-height is lower.
    EXPECT_LT(extent(t, index('H')).top, a.top - 5);
    // Letters fill most of the rectangle's height together.
    GlyphBox box = glyph_box(0, t.w);
    int top = 1 << 20, bottom = -1;
    for (int i = 0; i < 52; ++i) {
        Extent e = extent(t, i);
        top = std::min(top, e.top);
        bottom = std::max(bottom, e.bottom);
    }
    EXPECT_GT(bottom - top, (box.y1 - box.y0) * 8 / 10);
}

TEST(Alphabet, LettersFitTheirAdvances)
{
    // The pen moves by the letter's advance, so the ink must lie within it or
    // letters would overlap their neighbours.
    Tex t = load_tex("alphabet");
    ASSERT_EQ(t.bpp, 4);
    const float unit = 0.09f * t.w;
    for (int i = 0; i < 52; ++i) {
        Extent e = extent(t, i);
        GlyphBox b = glyph_box(i, t.w);
        float rect_left = (0.125f * (i % 8) + 0.02f) * t.w;
        float limit = rect_left + advance(kLetters[i]) * unit - b.x0;
        EXPECT_LE(e.right, limit + 0.5f) << kLetters[i];
        EXPECT_GT(e.right - e.left, 2) << kLetters[i];
    }
    auto index = [](char c) { return static_cast<int>(std::strchr(kLetters, c) - kLetters); };
    Extent M = extent(t, index('M')), I = extent(t, index('I'));
    EXPECT_GT(M.right - M.left, 3 * (I.right - I.left));
}

// --- buttons and pictures -----------------------------------------------------

TEST(Buttons, PictogramsAreDistinctPictures)
{
    std::vector<Tex> icons;
    for (const std::string& name : kButtons) {
        icons.push_back(load_tex(name));
        ASSERT_GT(icons.back().w, 0) << name;
        EXPECT_EQ(icons.back().w, icons.back().h) << name;
    }
    for (size_t a = 0; a < icons.size(); ++a)
        for (size_t b = a + 1; b < icons.size(); ++b) {
            if (icons[a].w != icons[b].w) continue;
            double diff = 0;
            for (size_t k = 0; k < icons[a].px.size() && k < icons[b].px.size(); ++k)
                diff += std::abs(icons[a].px[k] - icons[b].px[k]);
            EXPECT_GT(diff / icons[a].px.size(), 8.0) << kButtons[a] << " looks like " << kButtons[b];
        }
}

TEST(Buttons, StoredForQuadsWithSUpTheScreen)
{
    // The command bar's quads run s up the screen and t to the right: the
    // dismount picture's strip of grass (its ground) lies at s = 0, the first
    // pixels of every file row, and never in the first or last rows alone.
    Tex t = load_tex("dragon_dismount_button");
    ASSERT_GT(t.w, 0);
    auto green = [&](int x, int y) { return t.at(x, y, 1) - 0.5 * (t.at(x, y, 0) + t.at(x, y, 2)); };
    auto columns = [&](int x0, int x1) {
        double g = 0;
        for (int y = 16; y < t.h - 16; ++y)
            for (int x = x0; x < x1; ++x) g += green(x, y);
        return g / ((x1 - x0) * (t.h - 32));
    };
    auto rows = [&](int y0, int y1) {
        double g = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 16; x < t.w - 16; ++x) g += green(x, y);
        return g / ((y1 - y0) * (t.w - 32));
    };
    EXPECT_GT(columns(8, 14), columns(t.w - 14, t.w - 8) + 30);
    EXPECT_GT(columns(8, 14), rows(8, 14) + 15);
}

TEST(Menu, BackgroundKeepsItsSkyAtTheTopOfTheScreen)
{
    // The menu draws its background with t = 0 at the top of the screen
    // (y grows downward there), so the sky is in the first rows of the file.
    Tex menu = load_tex("sky_menu");
    ASSERT_GT(menu.w, 0);
    double top_blue = 0, top_luma = 0, bottom_luma = 0;
    for (int x = 0; x < menu.w; ++x) {
        top_blue += menu.at(x, 1, 2) - menu.at(x, 1, 0);
        top_luma += menu.luma(x, 1);
        bottom_luma += menu.luma(x, menu.h - 2);
    }
    EXPECT_GT(top_blue / menu.w, 10.0);
    EXPECT_GT(top_luma, bottom_luma);
    EXPECT_GT(menu.luma(menu.w / 2, 10), 150.0f) << "black title text needs a light sky";
}

TEST(Buttons, StopSignIsRedAndAttackSwordIsSteel)
{
    Tex stop = load_tex("stop_button");
    ASSERT_GT(stop.w, 0);
    int red = 0;
    for (int y = 0; y < stop.h; ++y)
        for (int x = 0; x < stop.w; ++x) red += stop.at(x, y, 0) > 150 && stop.at(x, y, 1) < 60 && stop.at(x, y, 2) < 60;
    EXPECT_GT(red, stop.w * stop.h / 5);
    // The sword blade crosses the middle diagonally: grey-white texels there.
    Tex attack = load_tex("attack_button");
    ASSERT_GT(attack.w, 0);
    int steel = 0;
    for (int k = attack.w / 3; k < 2 * attack.w / 3; ++k) {
        int r = attack.at(k, k, 0), g = attack.at(k, k, 1), b = attack.at(k, k, 2);
        steel += std::abs(r - g) < 25 && std::abs(g - b) < 25 && g > 100;
    }
    EXPECT_GT(steel, attack.w / 6);
}

// --- sounds -------------------------------------------------------------------

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
    double seconds() const { return rate ? static_cast<double>(samples.size()) / rate : 0; }
};

Wav load_wav(const std::string& name)
{
    Wav w;
    std::vector<uint8_t> b = read_file("sounds/" + name + ".wav");
    if (b.size() < 44 || std::memcmp(&b[0], "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0) {
        ADD_FAILURE() << name << ": not a RIFF WAVE file";
        return w;
    }
    EXPECT_EQ(static_cast<size_t>(le32(&b[4])), b.size() - 8) << name;
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        size_t len = static_cast<uint32_t>(le32(&b[pos + 4]));
        if (len > b.size() - pos - 8) {
            ADD_FAILURE() << name << ": chunk runs past the end";
            return w;
        }
        const uint8_t* body = &b[pos + 8];
        if (std::memcmp(&b[pos], "fmt ", 4) == 0 && len >= 16) {
            EXPECT_EQ(le16(body), 1) << name << " is not PCM";
            w.channels = le16(body + 2);
            w.rate = le32(body + 4);
            w.bits = le16(body + 14);
            EXPECT_EQ(le32(body + 8), w.rate * w.channels * w.bits / 8) << name;
        } else if (std::memcmp(&b[pos], "data", 4) == 0) {
            for (size_t i = 0; i + 1 < len; i += 2) w.samples.push_back(static_cast<int16_t>(le16(body + i)));
        }
        pos += 8 + len + (len & 1);
    }
    return w;
}

double rms(const Wav& w, size_t from, size_t to)
{
    double s = 0;
    to = std::min(to, w.samples.size());
    if (to <= from) return 0;
    for (size_t i = from; i < to; ++i) s += static_cast<double>(w.samples[i]) * w.samples[i];
    return std::sqrt(s / (to - from)) / 32768.0;
}

const std::vector<std::string> kSounds = {"lightning", "splash", "seaside", "waterside", "firestart", "fireloop",
                                          "human1", "human2", "dragon0", "dragon1", "dragon2", "dragon3",
                                          "dragon4", "dragon5", "dragon6", "dragon7"};

TEST(Sounds, AllFilesAreAudible16BitMonoPcm)
{
    for (const std::string& name : kSounds) {
        Wav w = load_wav(name);
        EXPECT_EQ(w.channels, 1) << name << ": positional sources need mono";
        EXPECT_EQ(w.bits, 16) << name;
        EXPECT_EQ(w.rate, 22050) << name;
        ASSERT_GT(w.samples.size(), 1000u) << name;
        EXPECT_GT(rms(w, 0, w.samples.size()), 0.03) << name << " is nearly silent";
        // No clipping: never three full-scale samples in a row.
        int run = 0, worst = 0;
        for (int16_t s : w.samples) {
            run = (s >= 32766 || s <= -32767) ? run + 1 : 0;
            worst = std::max(worst, run);
        }
        EXPECT_LT(worst, 3) << name;
    }
}

TEST(Sounds, EffectsFitTheirPlayingTimes)
{
    // The game stops effects after fixed times: thunder plays for 4 s,
    // splashes, ignition and roars for 2 s.
    EXPECT_GE(load_wav("lightning").seconds(), 3.0);
    EXPECT_LE(load_wav("lightning").seconds(), 4.5);
    for (const char* name : {"splash", "firestart", "dragon0", "dragon3", "dragon7"}) {
        double s = load_wav(name).seconds();
        EXPECT_GE(s, 0.5) << name;
        EXPECT_LE(s, 2.05) << name;
    }
}

TEST(Sounds, MusicLastsAsLongAsItsTurn)
{
    // Track "human2" plays for 108 s and "human1" for 120 s before the switch.
    Wav one = load_wav("human1"), two = load_wav("human2");
    EXPECT_GE(one.seconds(), 120.0);
    EXPECT_GE(two.seconds(), 108.0);
    EXPECT_LE(one.seconds(), 150.0);
    EXPECT_LE(two.seconds(), 150.0);
    // Music all the way through the part that is heard: no silent stretch.
    for (const Wav* w : {&one, &two}) {
        size_t window = static_cast<size_t>(w->rate) * 5;
        double heard = (w == &one ? 120.0 : 108.0) - 3.0;
        for (size_t start = 0; start + window <= static_cast<size_t>(heard * w->rate); start += window)
            EXPECT_GT(rms(*w, start, start + window), 0.02) << "quiet at " << start / w->rate << " s";
    }
    // The two tracks are different pieces.
    size_t same = 0;
    for (size_t i = 0; i < 22050 * 10; ++i) same += one.samples[i] == two.samples[i];
    EXPECT_LT(same, 22050u);
}

TEST(Sounds, LoopsJoinWithoutClickOrLevelJump)
{
    for (const char* name : {"seaside", "waterside", "fireloop"}) {
        Wav w = load_wav(name);
        ASSERT_GT(w.seconds(), 2.0) << name;
        size_t n = w.samples.size(), tenth = static_cast<size_t>(w.rate / 10);
        double head = rms(w, 0, tenth), tail = rms(w, n - tenth, n);
        EXPECT_GT(head, 0.3 * tail) << name;
        EXPECT_LT(head, 3.0 * tail) << name;
        std::vector<int> steps;
        for (size_t i = 1; i < n; ++i) steps.push_back(std::abs(w.samples[i] - w.samples[i - 1]));
        std::sort(steps.begin(), steps.end());
        int p99 = steps[steps.size() * 99 / 100];
        EXPECT_LE(std::abs(w.samples[0] - w.samples[n - 1]), p99) << name << " clicks at the loop point";
    }
}

TEST(Sounds, DragonRoarsAreEightDifferentVoices)
{
    std::vector<Wav> roars;
    for (int v = 0; v < 8; ++v) roars.push_back(load_wav("dragon" + std::to_string(v)));
    for (int a = 0; a < 8; ++a)
        for (int b = a + 1; b < 8; ++b) EXPECT_NE(roars[a].samples, roars[b].samples) << a << " and " << b;
    // A roar is loud in its middle and quiet at its ends.
    for (const Wav& w : roars) {
        size_t n = w.samples.size();
        EXPECT_GT(rms(w, n * 3 / 10, n * 6 / 10), 2.0 * rms(w, n - n / 20, n));
    }
}

}  // namespace
