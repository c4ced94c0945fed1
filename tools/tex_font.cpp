// The menu font: 52 white letters with alpha on a 512 x 512 texture laid out
// as an 8 x 8 grid of cells. Letter i of "A..Za..z" sits in column i % 8 and
// row i / 8, where row 0 is the first row of the file (t = 0). The font code
// samples s from 0.125 col + 0.02 to 0.125 col + 0.11 and t from
// 0.125 row + 0.007 to 0.125 row + 0.11, and draws that rectangle on a quad
// whose corner (0, 0) is the top-left of the glyph in a y-down screen space
// and takes the smaller s and t. So within a cell the smaller t is the top of
// the letter: the picture is stored top row first, letters upright.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "textures.h"

namespace {

const int kTexSize = 512;
const char* kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Advance of each letter in glyph units, as the font code steps the pen.
float advance_of(char c)
{
    switch (c) {
    case 'A': return 0.81f;
    case 'B': case 'E': case 'F': case 'H': case 'L': case 'S': case 'U': case 'V': case 'Z': return 0.75f;
    case 'C': case 'D': case 'G': case 'Q': case 'R': case 'T': return 0.8f;
    case 'I': return 0.4f;
    case 'M': return 0.9f;
    case 'N': case 'Y': return 0.7f;
    case 'a': case 'u': case 'v': return 0.65f;
    case 'b': case 'd': case 'h': case 'k': case 'o': case 'p': case 's': return 0.6f;
    case 'c': return 0.63f;
    case 'e': return 0.67f;
    case 'f': case 'l': return 0.4f;
    case 'g': return 0.55f;
    case 'i': return 0.35f;
    case 'm': return 0.95f;
    case 'n': return 0.75f;
    case 'r': return 0.5f;
    case 't': return 0.45f;
    case 'y': return 0.7f;
    default: return 1.0f;
    }
}

struct FreeType {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    ~FreeType()
    {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
};

}  // namespace

Image make_alphabet(const std::string& font_path)
{
    FreeType ft;
    if (FT_Init_FreeType(&ft.lib) != 0 || FT_New_Face(ft.lib, font_path.c_str(), 0, &ft.face) != 0) {
        std::fprintf(stderr, "cannot open font %s\n", font_path.c_str());
        return Image{};
    }
    FT_Face face = ft.face;
    const float upem = static_cast<float>(face->units_per_EM);

    // Glyph rectangle of a cell in texels, and one glyph unit in texels along x and y.
    const float unit_x = 0.09f * kTexSize, unit_y = 0.103f * kTexSize;
    const float rect_x0 = 0.02f * kTexSize, rect_y0 = 0.007f * kTexSize;
    // Ink stays one texel inside the texels whose centres lie in the rectangle,
    // so filtering at the rectangle's border never cuts a stroke.
    const int ink_x0 = static_cast<int>(std::ceil(rect_x0 - 0.5f)) + 1;
    const int ink_x1 = static_cast<int>(std::floor(rect_x0 + unit_x - 0.5f)) - 1;  // inclusive
    const int ink_y0 = static_cast<int>(std::ceil(rect_y0 - 0.5f)) + 1;
    const int ink_y1 = static_cast<int>(std::floor(rect_y0 + unit_y - 0.5f)) - 1;

    // Common size: the tallest ascender to the deepest descender fills the height.
    float top = 0, bottom = 0;
    for (const char* p = kLetters; *p; ++p) {
        if (FT_Load_Char(face, static_cast<FT_ULong>(*p), FT_LOAD_NO_SCALE) != 0) continue;
        float by = face->glyph->metrics.horiBearingY;
        top = std::max(top, by);
        bottom = std::min(bottom, by - face->glyph->metrics.height);
    }
    const float avail_h = static_cast<float>(ink_y1 - ink_y0 + 1) - 1.0f;
    const float em_y = avail_h * upem / (top - bottom);      // pixels per em, vertical
    const float em_x = em_y * unit_x / unit_y;               // same on screen once the cell is drawn square
    const int baseline = ink_y0 + static_cast<int>(std::lround(top / upem * em_y));
    FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(std::lround(em_x)), static_cast<FT_UInt>(std::lround(em_y)));
    const float ppem_x = static_cast<float>(face->size->metrics.x_ppem);

    Image img = make_image(kTexSize, kTexSize, 4);
    for (size_t k = 0; k < img.pixels.size(); k += 4) img.pixels[k] = img.pixels[k + 1] = img.pixels[k + 2] = 255;

    int clipped = 0;
    for (int i = 0; i < 52; ++i) {
        char letter = kLetters[i];
        int col = i % 8, row = i / 8;
        int cell_x = col * kTexSize / 8, cell_y = row * kTexSize / 8;
        if (FT_Load_Char(face, static_cast<FT_ULong>(letter), FT_LOAD_NO_SCALE) != 0) continue;
        float xmin = face->glyph->metrics.horiBearingX / upem * ppem_x;
        float inkw = face->glyph->metrics.width / upem * ppem_x;
        // Centre the ink within the letter's advance; squeeze letters that would
        // not leave a small gap to their neighbours and widen, a little, those
        // with much room to spare.
        float box = std::min(advance_of(letter) * unit_x, static_cast<float>(ink_x1 - ink_x0 + 1) + (ink_x0 - rect_x0));
        float room = std::min(box - 3.0f, static_cast<float>(ink_x1 - ink_x0));
        float squeeze = std::min(room / inkw, 1.12f);
        float left = rect_x0 + (box - inkw * squeeze) / 2.0f;
        left = std::max(left, static_cast<float>(ink_x0));
        float pen_x = cell_x + left - xmin * squeeze;
        float whole = std::floor(pen_x);
        FT_Matrix m{static_cast<FT_Fixed>(squeeze * 65536.0f), 0, 0, 0x10000};
        FT_Vector delta{static_cast<FT_Pos>((pen_x - whole) * 64.0f), 0};
        FT_Set_Transform(face, &m, &delta);
        if (FT_Load_Char(face, static_cast<FT_ULong>(letter), FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) continue;
        const FT_Bitmap& bm = face->glyph->bitmap;
        int ox = static_cast<int>(whole) + face->glyph->bitmap_left;
        int oy = cell_y + baseline - face->glyph->bitmap_top;
        for (unsigned r = 0; r < bm.rows; ++r) {
            for (unsigned c = 0; c < bm.width; ++c) {
                uint8_t a = bm.buffer[r * bm.pitch + c];
                if (a == 0) continue;
                int x = ox + static_cast<int>(c), y = oy + static_cast<int>(r);
                bool inside = x >= cell_x + ink_x0 && x <= cell_x + ink_x1 && y >= cell_y + ink_y0 && y <= cell_y + ink_y1;
                if (!inside) {
                    ++clipped;
                    continue;
                }
                img.pixels[(static_cast<size_t>(y) * kTexSize + x) * 4 + 3] = a;
            }
        }
    }
    FT_Set_Transform(face, nullptr, nullptr);
    if (clipped > 0) std::fprintf(stderr, "alphabet: %d glyph pixels fell outside their cells\n", clipped);
    return img;
}
