// PNG writing of the headless render and reading for tests, through libpng.
#include "platform/gdi/pngio.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <vector>
#include <cstdio>
#include <memory>

#include "platform/gdi/gdiobj.h"
#include "platform/win/statedir.h"
#include "platform/win/winbase.h"

namespace gdi {

namespace {

// libpng reports errors by longjmp: these frames hold no object with a destructor.
bool EncodeRows(FILE* f, png_uint_32 w, png_uint_32 h, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct Decoded {
    png_uint_32 w = 0, h = 0;
    std::uint8_t* buf = nullptr;  // malloc'ed RGBA
};

bool DecodeRows(FILE* f, Decoded* out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_bytep* rows = nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(rows);
        std::free(out->buf);
        out->buf = nullptr;
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->w = png_get_image_width(png, info);
    out->h = png_get_image_height(png, info);
    out->buf = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(out->w) * out->h * 4 + 1));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (out->h + 1)));
    if (!out->buf || !rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < out->h; ++y) rows[y] = out->buf + static_cast<std::size_t>(y) * out->w * 4;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::free(rows);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, HBITMAP hbmp, HRGN hrgn) {
    auto bmp = detail::GetBitmap(hbmp);
    if (!bmp || (hrgn && !detail::GetRegion(hrgn))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    auto rgn = hrgn ? detail::GetRegion(hrgn) : nullptr;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(bmp->width) * bmp->height * 4);
    for (int y = 0; y < bmp->height; ++y)
        for (int x = 0; x < bmp->width; ++x) {
            std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * bmp->width + x) * 4];
            if (rgn && !rgn->Contains(x, y)) {
                p[0] = p[1] = p[2] = p[3] = 0;
                continue;
            }
            COLORREF c = bmp->Pixel(x, y);
            p[0] = GetRValue(c);
            p[1] = GetGValue(c);
            p[2] = GetBValue(c);
            p[3] = 255;
        }
    FILE* f = std::fopen(win::LocalPath(path).c_str(), "wb");
    if (!f) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(bmp->height));
    for (int y = 0; y < bmp->height; ++y) rows[y] = &rgba[static_cast<std::size_t>(y) * bmp->width * 4];
    bool ok = EncodeRows(f, static_cast<png_uint_32>(bmp->width), static_cast<png_uint_32>(bmp->height), rows.data());
    if (std::fclose(f) != 0) ok = false;
    if (!ok) SetLastError(ERROR_WRITE_FAULT);
    return ok;
}

bool WriteWindowPng(const std::string& path, HWND hwnd) {
    HBITMAP s = GetWindowSurface(hwnd);
    if (!s) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return WritePng(path, s, WindowRegion(hwnd));
}

bool ReadPng(const std::string& path, PngImage& out) {
    FILE* f = std::fopen(win::LocalPath(path).c_str(), "rb");
    if (!f) return false;
    Decoded d;
    bool ok = DecodeRows(f, &d);
    std::fclose(f);
    if (!ok) return false;
    png_uint_32 w = d.w, h = d.h;
    std::vector<std::uint8_t> buf(d.buf, d.buf + static_cast<std::size_t>(w) * h * 4);
    std::free(d.buf);
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    out.pixels.resize(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        const std::uint8_t* p = &buf[i * 4];
        out.pixels[i] = (static_cast<std::uint32_t>(p[3]) << 24) | (static_cast<std::uint32_t>(p[0]) << 16) |
                        (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
    }
    return true;
}

}  // namespace gdi
