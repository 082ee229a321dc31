// A control's font and colour at its widget: each distinct font is one CSS class with one rule in a
// style sheet of the screen, above the forms' default font, so that the widget and every part of it
// (a button's label, an entry's text, a list's rows, a combo's field) show the family (found through
// fontconfig by Pango), the size, the style and the colour of the control's TFont. A control's own
// background colour is a class of the same sheet.
#include <cstdio>
#include <map>

#include "platform/classlib/graphics.h"
#include "platform/desktop/internal.h"
#include "platform/gdi/wingdi.h"

namespace desktop::detail {

namespace {

GtkCssProvider* g_sheet = nullptr;
std::map<std::string, std::string> g_classes;  // a font's rule -> its class
std::string g_rules;

// A family name as a CSS string: UTF-8, without the characters that would end it.
std::string FamilyString(const std::string& name) {
    std::string out;
    for (char c : Utf8(name))
        if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20) out += c;
    return out;
}

// The character height (em) in pixels: the font's Height when negative; a positive Height is the
// cell, of which the GDI's metrics give the internal leading.
int EmPixels(TFont& font) {
    if (font.Height() < 0) return -font.Height();
    if (font.Height() == 0) return 13;
    int em = font.Height();
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        HGDIOBJ old = SelectObject(dc, ToGdiObj(font.Handle()));
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc, &tm) && tm.tmHeight > 0) em = tm.tmHeight - tm.tmInternalLeading;
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    return em > 0 ? em : font.Height();
}

// The declarations of a font's rule (without its selector).
std::string Declarations(TFont& font) {
    const TFontStyles s = font.Style();
    std::string d = "font-family: \"" + FamilyString(font.Name()) + "\", sans-serif; font-size: " +
                    std::to_string(EmPixels(font)) + "px; font-weight: " + ((s & fsBold) ? "bold" : "normal") +
                    "; font-style: " + ((s & fsItalic) ? "italic" : "normal") + "; text-decoration-line: ";
    if (s & (fsUnderline | fsStrikeOut)) {
        if (s & fsUnderline) d += "underline ";
        if (s & fsStrikeOut) d += "line-through";
    } else {
        d += "none";
    }
    return d + ";";
}

// A colour value as CSS (a system colour as the system's colour of that kind).
std::string Css(int colour) {
    const auto rgb = static_cast<unsigned>(ColorToRGB(colour));
    char out[8];
    std::snprintf(out, sizeof out, "#%02x%02x%02x", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    return out;
}

// The colour of the text: only a colour other than the default ("" for that), so that a default font
// keeps the theme's colours of the states (disabled, selected); a chosen colour shows in every state
// but a selected row or text, whose colour stays the selection's.
std::string Colour(TFont& font) { return font.Color() == clWindowText ? "" : Css(font.Color()); }

void LoadSheet() {
    if (!g_sheet) {
        g_sheet = gtk_css_provider_new();
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(g_sheet),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    }
    gtk_css_provider_load_from_data(g_sheet, g_rules.c_str(), -1, nullptr);
}

// The class kept for `key` ("<prefix>-N"), its rules added to the sheet when it is new: `rules`
// makes them for the class's selector.
template <class Rules>
std::string ClassFor(const std::string& key, const char* prefix, Rules rules) {
    auto it = g_classes.find(key);
    if (it != g_classes.end()) return it->second;
    const std::string cls = std::string(prefix) + "-" + std::to_string(g_classes.size() + 1);
    g_classes.emplace(key, cls);
    g_rules += rules("." + cls);
    LoadSheet();
    return cls;
}

// The class of a font.
std::string ClassOf(TFont& font) {
    const std::string declarations = Declarations(font), colour = Colour(font);
    return ClassFor(declarations + colour, "classlib-font", [&](const std::string& c) {
        std::string r = c + ", " + c + " * { " + declarations + " }\n";
        if (!colour.empty())
            r += c + ":not(:selected), " + c + " label, " + c + " text, " + c + " entry, " + c +
                 " cellview { color: " + colour + "; }\n";
        return r;
    });
}

// The class of a background colour. A selected row or text keeps the selection's colour.
std::string BackgroundClassOf(int colour) {
    const std::string css = Css(colour);
    return ClassFor("background " + css, "classlib-back", [&](const std::string& c) {
        return c + ":not(:selected), " + c + " text:not(:selected) { background-color: " + css +
               "; background-image: none; }\n";
    });
}

// Puts a class on a widget in place of the one it had under the same key ("" for none).
void SwapClass(GtkWidget* widget, const char* key, const std::string& cls) {
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    auto* old = static_cast<const char*>(g_object_get_data(G_OBJECT(widget), key));
    if (old && cls == old) return;
    if (!old && cls.empty()) return;
    if (old) gtk_style_context_remove_class(style, old);
    if (!cls.empty()) gtk_style_context_add_class(style, cls.c_str());
    g_object_set_data_full(G_OBJECT(widget), key, cls.empty() ? nullptr : g_strdup(cls.c_str()), g_free);
}

}  // namespace

void ApplyFont(GtkWidget* widget, TFont* font) {
    if (!widget || !font) return;
    SwapClass(widget, "classlib-font", ClassOf(*font));
}

void ApplyBackground(GtkWidget* widget, std::optional<int> colour) {
    if (!widget) return;
    SwapClass(widget, "classlib-back", colour ? BackgroundClassOf(*colour) : std::string());
}

}  // namespace desktop::detail
