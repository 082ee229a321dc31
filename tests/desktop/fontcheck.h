// What the desktop shows of a widget's font and text: the font its style gives it and the face
// Pango draws it with, the face fontconfig gives a family name, the screen's pixels over the
// widget, where text shows in a screenshot and how the toolkit lays a text out on its own.
#pragma once

#include <gtk/gtk.h>

#include <string>

namespace desktoptest {

struct WidgetFont {
    std::string Family;      // the family list of the widget's style ("Verdana,sans-serif")
    int Weight = 0;          // PANGO_WEIGHT_...
    int Style = 0;           // PANGO_STYLE_...
    double Pixels = 0;       // the character height in pixels
    bool Underline = false;  // the text is drawn underlined (a label's)
    bool Strikeout = false;  // the text is drawn struck out (a label's)
    std::string Face;        // the family of the face Pango loads for it
};
WidgetFont FontOf(GtkWidget* w);

// The family of the face fontconfig matches for `family` (regular or bold).
std::string FontconfigFamily(const std::string& family, bool bold);

// The text colour of the widget's style in its state, 0xRRGGBB.
long TextColour(GtkWidget* w);

// Pixels of the screen over the widget's allocation darker than mid grey.
int InkPixels(GtkWidget* w);
// Pixels of the screen over the widget (or a rectangle of the screen) within `tolerance` of `rgb`
// in each channel.
int PixelsOfColour(GtkWidget* w, long rgb, int tolerance);
int PixelsOfColourAt(int x, int y, int width, int height, long rgb, int tolerance);

// The columns of a rectangle of a screenshot (device pixels) that hold ink darker than the ground
// (by more than a quarter of the scale in luminance): the first and the last; -1 both when none.
struct InkSpan {
    int left = -1, right = -1;
    int Width() const { return left < 0 ? 0 : right - left + 1; }
};
InkSpan InkColumns(const std::string& shot, int x, int y, int width, int height, long groundRgb);

// A line of text laid out by the toolkit's renderer on its own (a context of the screen's), in a
// family at an em of `pixels`: the ink's left and width, and the layout's width, in pixels.
struct ToolkitLine {
    int inkLeft = 0, inkWidth = 0, width = 0;
};
ToolkitLine ToolkitLayout(const std::string& family, int pixels, bool bold, const std::string& textUtf8);

}  // namespace desktoptest
