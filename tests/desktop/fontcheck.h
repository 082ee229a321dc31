// What the desktop shows of a widget's font and text: the font its style gives it and the face
// Pango draws it with, the face fontconfig gives a family name, and the screen's pixels over the
// widget.
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

}  // namespace desktoptest
