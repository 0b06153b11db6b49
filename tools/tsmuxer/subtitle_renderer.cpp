#include "subtitle_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

extern "C" {
#include <ass/ass.h>
}

namespace standin::ts {
namespace {

constexpr const char* kFallbackFamily = "DejaVu Sans";

void QuietLog(int, const char*, va_list, void*) {}

std::string AssColour(uint32_t argb) {
    const uint32_t alpha = argb >> 24;
    const uint32_t assAlpha = alpha == 0 ? 0 : 255 - alpha;  // ASS counts transparency
    char text[16];
    std::snprintf(text, sizeof text, "&H%02X%02X%02X%02X", assAlpha, argb & 0xFF,
                  (argb >> 8) & 0xFF, (argb >> 16) & 0xFF);
    return text;
}

// A script with one style and no events; the cues are added with millisecond times.
std::string StyleScript(const SubtitleStyle& s) {
    std::string name = s.fontName;
    std::replace(name.begin(), name.end(), ',', ' ');
    return "[Script Info]\nScriptType: v4.00+\nPlayResX: " + std::to_string(s.videoWidth) +
           "\nPlayResY: " + std::to_string(s.videoHeight) +
           "\nWrapStyle: 0\nScaledBorderAndShadow: yes\n\n[V4+ Styles]\n"
           "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
           "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
           "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
           "Style: Default," +
           name + "," + std::to_string(s.fontSize) + "," + AssColour(s.colour) + "," +
           AssColour(s.colour) + ",&H00000000,&H00000000,0,0,0,0,100,100,0,0,1," +
           std::to_string(s.border) + ",0,2,20,20," + std::to_string(std::lround(s.bottomOffset)) +
           ",1\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
           "Effect, Text\n";
}

std::string AssEventText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\N";
        else if (c != '\r')
            out += c;
    }
    return out;
}

}  // namespace

struct SubtitleRenderer::Libass {
    ASS_Library* library = nullptr;
    ASS_Renderer* renderer = nullptr;
    ASS_Track* track = nullptr;
    ~Libass() {
        if (track) ass_free_track(track);
        if (renderer) ass_renderer_done(renderer);
        if (library) ass_library_done(library);
    }
};

SubtitleRenderer::SubtitleRenderer(const SubtitleStyle& style, const std::vector<SubtitleCue>& cues)
    : ass_(std::make_unique<Libass>()), style_(style) {
    ass_->library = ass_library_init();
    if (!ass_->library) throw std::runtime_error("libass cannot start");
    ass_set_message_cb(ass_->library, QuietLog, nullptr);
    ass_->renderer = ass_renderer_init(ass_->library);
    if (!ass_->renderer) throw std::runtime_error("libass cannot start its renderer");
    ass_set_frame_size(ass_->renderer, style.videoWidth, style.videoHeight);
    ass_set_storage_size(ass_->renderer, style.videoWidth, style.videoHeight);
    ass_set_fonts(ass_->renderer, nullptr, kFallbackFamily, ASS_FONTPROVIDER_AUTODETECT, nullptr,
                  1);
    std::string script = StyleScript(style);
    ass_->track = ass_read_memory(ass_->library, script.data(), script.size(), nullptr);
    if (!ass_->track) throw std::runtime_error("libass refused the subtitle style");
    for (const SubtitleCue& cue : cues) {
        const int id = ass_alloc_event(ass_->track);
        ASS_Event& event = ass_->track->events[id];
        event.Start = cue.startMs;
        event.Duration = cue.endMs - cue.startMs;
        event.ReadOrder = id;
        event.Layer = 0;
        event.Style = ass_->track->n_styles - 1;  // ours, after libass's own "Default"
        event.Text = strdup(AssEventText(cue.text).c_str());
        if (!event.Text) throw std::bad_alloc();
    }
}

SubtitleRenderer::~SubtitleRenderer() = default;

RgbaPicture SubtitleRenderer::Render(int64_t ms) {
    const int W = style_.videoWidth, H = style_.videoHeight;
    ASS_Image* images = ass_render_frame(ass_->renderer, ass_->track, ms, nullptr);
    int left = W, top = H, right = 0, bottom = 0;
    for (ASS_Image* i = images; i; i = i->next) {
        if (i->w <= 0 || i->h <= 0) continue;
        left = std::min(left, std::max(0, i->dst_x));
        top = std::min(top, std::max(0, i->dst_y));
        right = std::max(right, std::min(W, i->dst_x + i->w));
        bottom = std::max(bottom, std::min(H, i->dst_y + i->h));
    }
    RgbaPicture out;
    if (left >= right || top >= bottom) return out;
    // Premultiplied colour and coverage, blended in libass's order (border, then fill).
    const int w = right - left, h = bottom - top;
    std::vector<float> canvas(size_t(w) * h * 4, 0.0f);
    for (ASS_Image* i = images; i; i = i->next) {
        const float r = (i->color >> 24) / 255.0f, g = ((i->color >> 16) & 0xFF) / 255.0f,
                    b = ((i->color >> 8) & 0xFF) / 255.0f;
        const float opacity = (255 - (i->color & 0xFF)) / 255.0f;
        for (int yy = 0; yy < i->h; ++yy) {
            const int cy = i->dst_y + yy - top;
            if (cy < 0 || cy >= h) continue;
            for (int xx = 0; xx < i->w; ++xx) {
                const int cx = i->dst_x + xx - left;
                if (cx < 0 || cx >= w) continue;
                const float a = i->bitmap[yy * i->stride + xx] / 255.0f * opacity;
                if (a <= 0) continue;
                float* p = &canvas[(size_t(cy) * w + cx) * 4];
                p[0] = r * a + p[0] * (1 - a);
                p[1] = g * a + p[1] * (1 - a);
                p[2] = b * a + p[2] * (1 - a);
                p[3] = a + p[3] * (1 - a);
            }
        }
    }
    // libass pads its bitmaps: the picture is cut to the drawn pixels, with even sizes kept inside
    // the frame.
    int inkLeft = w, inkTop = h, inkRight = 0, inkBottom = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (canvas[(size_t(y) * w + x) * 4 + 3] >= 0.5f / 255) {
                inkLeft = std::min(inkLeft, x);
                inkTop = std::min(inkTop, y);
                inkRight = std::max(inkRight, x + 1);
                inkBottom = std::max(inkBottom, y + 1);
            }
    if (inkLeft >= inkRight) return out;
    int x0 = left + inkLeft, y0 = top + inkTop, x1 = left + inkRight, y1 = top + inkBottom;
    if ((x1 - x0) % 2) (x1 < W ? ++x1 : --x0);
    if ((y1 - y0) % 2) (y1 < H ? ++y1 : --y0);
    out.x = x0;
    out.y = y0;
    out.width = x1 - x0;
    out.height = y1 - y0;
    out.rgba.assign(size_t(out.width) * out.height * 4, 0);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (x < left || x >= right || y < top || y >= bottom) continue;
            const float* p = &canvas[(size_t(y - top) * w + (x - left)) * 4];
            uint8_t* q = &out.rgba[(size_t(y - y0) * out.width + (x - x0)) * 4];
            if (p[3] <= 0) continue;
            for (int c = 0; c < 3; ++c)
                q[c] = static_cast<uint8_t>(std::lround(std::clamp(p[c] / p[3], 0.0f, 1.0f) * 255));
            q[3] = static_cast<uint8_t>(std::lround(p[3] * 255));
        }
    }
    return out;
}

namespace {

PgPaletteEntry YCrCb(uint8_t index, uint8_t r8, uint8_t g8, uint8_t b8, uint8_t alpha, bool hd) {
    const double kr = hd ? 0.2126 : 0.299, kb = hd ? 0.0722 : 0.114, kg = 1 - kr - kb;
    const double r = r8 / 255.0, g = g8 / 255.0, b = b8 / 255.0;
    const double y = kr * r + kg * g + kb * b;
    auto byte = [](double v) {
        return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    return {index, byte(16 + 219 * y), byte(128 + 224 * (r - y) / (2 * (1 - kr))),
            byte(128 + 224 * (b - y) / (2 * (1 - kb))), alpha};
}

}  // namespace

IndexedPicture ToPalette(const RgbaPicture& picture, bool hd) {
    IndexedPicture result;
    PgPicture& pg = result.picture;
    pg.x = picture.x;
    pg.y = picture.y;
    pg.width = picture.width;
    pg.height = picture.height;
    const size_t count = size_t(picture.width) * picture.height;
    // Coarser steps until the colours fit the palette.
    for (int colourBits = 5;; --colourBits) {
        const int alphaBits = std::min(4, colourBits + 1);
        std::map<uint32_t, uint8_t> indexOf;
        result.palette.assign(1, PgPaletteEntry{});
        pg.pixels.assign(count, 0);
        bool fits = true;
        auto level = [](uint8_t v, int bits) {
            const int levels = (1 << bits) - 1;
            return static_cast<uint8_t>(
                std::lround(std::lround(v * levels / 255.0) * 255.0 / levels));
        };
        for (size_t i = 0; i < count && fits; ++i) {
            const uint8_t* p = &picture.rgba[i * 4];
            const uint8_t a = level(p[3], alphaBits);
            if (a == 0) continue;
            const uint8_t r = level(p[0], colourBits), g = level(p[1], colourBits),
                          b = level(p[2], colourBits);
            const uint32_t key = (uint32_t(a) << 24) | (uint32_t(r) << 16) | (g << 8) | b;
            auto found = indexOf.find(key);
            if (found == indexOf.end()) {
                if (result.palette.size() == 256) {
                    fits = false;
                    break;
                }
                const auto index = static_cast<uint8_t>(result.palette.size());
                found = indexOf.emplace(key, index).first;
                result.palette.push_back(YCrCb(index, r, g, b, a, hd));
            }
            pg.pixels[i] = found->second;
        }
        if (fits || colourBits == 1) return result;
    }
}

}  // namespace standin::ts
