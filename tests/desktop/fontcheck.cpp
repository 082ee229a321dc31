#include "fontcheck.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "display.h"

namespace desktoptest {

namespace {

// Calls `fn` with each pixel (0xRRGGBB) of a rectangle of the screen.
void ForScreenPixels(int x, int y, int width, int height, const std::function<void(long)>& fn) {
    if (width <= 0 || height <= 0) return;
    GdkPixbuf* pb = gdk_pixbuf_get_from_window(gdk_get_default_root_window(), x, y, width, height);
    if (!pb) return;
    const int channels = gdk_pixbuf_get_n_channels(pb), stride = gdk_pixbuf_get_rowstride(pb);
    const guchar* base = gdk_pixbuf_get_pixels(pb);
    for (int row = 0; row < gdk_pixbuf_get_height(pb); ++row)
        for (int col = 0; col < gdk_pixbuf_get_width(pb); ++col) {
            const guchar* p = base + row * stride + col * channels;
            fn((static_cast<long>(p[0]) << 16) | (p[1] << 8) | p[2]);
        }
    g_object_unref(pb);
}

void ForWidgetPixels(GtkWidget* w, const std::function<void(long)>& fn) {
    int x = 0, y = 0;
    WidgetOrigin(w, x, y);
    ForScreenPixels(x, y, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w), fn);
}

bool Near(long a, long b, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance)
            return false;
    return true;
}

}  // namespace

WidgetFont FontOf(GtkWidget* w) {
    WidgetFont out;
    GtkStyleContext* style = gtk_widget_get_style_context(w);
    PangoFontDescription* desc = nullptr;
    gtk_style_context_get(style, gtk_style_context_get_state(style), GTK_STYLE_PROPERTY_FONT, &desc, nullptr);
    if (!desc) return out;
    if (const char* f = pango_font_description_get_family(desc)) out.Family = f;
    out.Weight = pango_font_description_get_weight(desc);
    out.Style = pango_font_description_get_style(desc);
    const double size = static_cast<double>(pango_font_description_get_size(desc)) / PANGO_SCALE;
    double dpi = gdk_screen_get_resolution(gtk_widget_get_screen(w));
    if (dpi <= 0) dpi = 96;
    out.Pixels = pango_font_description_get_size_is_absolute(desc) ? size : size * dpi / 72.0;
    if (PangoFont* font = pango_context_load_font(gtk_widget_get_pango_context(w), desc)) {
        PangoFontDescription* face = pango_font_describe(font);
        if (const char* f = pango_font_description_get_family(face)) out.Face = f;
        pango_font_description_free(face);
        g_object_unref(font);
    }
    pango_font_description_free(desc);
    if (GTK_IS_LABEL(w))
        if (PangoAttrList* attrs = pango_layout_get_attributes(gtk_label_get_layout(GTK_LABEL(w)))) {
            PangoAttrIterator* it = pango_attr_list_get_iterator(attrs);
            do {
                auto* u = reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(it, PANGO_ATTR_UNDERLINE));
                if (u && u->value != PANGO_UNDERLINE_NONE) out.Underline = true;
                auto* st = reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(it, PANGO_ATTR_STRIKETHROUGH));
                if (st && st->value) out.Strikeout = true;
            } while (pango_attr_iterator_next(it));
            pango_attr_iterator_destroy(it);
        }
    return out;
}

std::string FontconfigFamily(const std::string& family, bool bold) {
    std::string out;
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    if (FcPattern* match = FcFontMatch(nullptr, pat, &result)) {
        FcChar8* f = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &f) == FcResultMatch) out = reinterpret_cast<const char*>(f);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return out;
}

long TextColour(GtkWidget* w) {
    GtkStyleContext* style = gtk_widget_get_style_context(w);
    GdkRGBA c{};
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &c);
    auto byte = [](double v) { return static_cast<long>(v * 255 + 0.5); };
    return (byte(c.red) << 16) | (byte(c.green) << 8) | byte(c.blue);
}

int InkPixels(GtkWidget* w) {
    int n = 0;
    ForWidgetPixels(w, [&](long p) {
        const int lum = static_cast<int>(((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF)) / 10;
        if (lum < 128) ++n;
    });
    return n;
}

int PixelsOfColour(GtkWidget* w, long rgb, int tolerance) {
    int n = 0;
    ForWidgetPixels(w, [&](long p) { n += Near(p, rgb, tolerance) ? 1 : 0; });
    return n;
}

int PixelsOfColourAt(int x, int y, int width, int height, long rgb, int tolerance) {
    int n = 0;
    ForScreenPixels(x, y, width, height, [&](long p) { n += Near(p, rgb, tolerance) ? 1 : 0; });
    return n;
}

InkSpan InkColumns(const std::string& shot, int x, int y, int width, int height, long groundRgb) {
    InkSpan span;
    GdkPixbuf* pb = gdk_pixbuf_new_from_file(shot.c_str(), nullptr);
    if (!pb) return span;
    auto luminance = [](int r, int g, int b) { return (r * 3 + g * 6 + b) / 10; };
    const int ground = luminance((groundRgb >> 16) & 0xFF, (groundRgb >> 8) & 0xFF, groundRgb & 0xFF);
    const int stride = gdk_pixbuf_get_rowstride(pb), channels = gdk_pixbuf_get_n_channels(pb);
    const guchar* pixels = gdk_pixbuf_get_pixels(pb);
    for (int col = std::max(0, x); col < x + width && col < gdk_pixbuf_get_width(pb); ++col)
        for (int row = std::max(0, y); row < y + height && row < gdk_pixbuf_get_height(pb); ++row) {
            const guchar* p = pixels + row * stride + col * channels;
            if (luminance(p[0], p[1], p[2]) < ground - 64) {
                if (span.left < 0) span.left = col;
                span.right = col;
                break;
            }
        }
    g_object_unref(pb);
    return span;
}

ToolkitLine ToolkitLayout(const std::string& family, int pixels, bool bold, const std::string& textUtf8) {
    ToolkitLine line;
    PangoContext* context = gdk_pango_context_get_for_screen(gdk_screen_get_default());
    PangoLayout* layout = pango_layout_new(context);
    pango_layout_set_text(layout, textUtf8.c_str(), -1);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family.c_str());
    pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(desc, pixels * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    PangoRectangle ink{}, logical{};
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    line.inkLeft = ink.x;
    line.inkWidth = ink.width;
    line.width = logical.width;
    g_object_unref(layout);
    g_object_unref(context);
    return line;
}

}  // namespace desktoptest
