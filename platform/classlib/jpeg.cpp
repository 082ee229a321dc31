// TJPEGImage over libjpeg (API 6.2, memory source and destination).
#include "platform/classlib/jpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <csetjmp>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct ErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorMgr*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, e->message);
    std::longjmp(e->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings are not reported

// Length of the JPEG stream at the start of `d`: up to and including the EOI marker; the whole
// buffer when no end is found.
std::size_t StreamLength(const std::uint8_t* d, std::size_t n) {
    if (n < 2 || d[0] != 0xFF || d[1] != 0xD8) return n;
    std::size_t i = 2;
    while (i + 4 <= n) {
        if (d[i] != 0xFF) return n;
        std::uint8_t m = d[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m == 0xD9) return i + 2;
        if (m >= 0xD0 && m <= 0xD7) {
            i += 2;
            continue;
        }
        std::size_t len = (static_cast<std::size_t>(d[i + 2]) << 8) | d[i + 3];
        i += 2 + len;
        if (m == 0xDA) {
            // Entropy-coded data: runs to the next marker that is neither a stuffed 0 nor a restart.
            while (i + 1 < n) {
                if (d[i] == 0xFF && d[i + 1] != 0x00 && !(d[i + 1] >= 0xD0 && d[i + 1] <= 0xD7) && d[i + 1] != 0xFF) break;
                ++i;
            }
        }
    }
    return n;
}

}  // namespace

void RegisterJPEGFormats() {
    TPicture::RegisterFileFormat<TJPEGImage>("jpeg", "JPEG Image File");
    TPicture::RegisterFileFormat<TJPEGImage>("jpg", "JPEG Image File");
}

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() { delete FBitmap; }

bool TJPEGImage::Empty() const { return FData.empty() && (!FBitmap || FBitmap->Empty()); }

int TJPEGImage::Width() const { return FBitmap && (FNeedCompress || FData.empty()) ? FBitmap->Width() : FWidth; }

int TJPEGImage::Height() const { return FBitmap && (FNeedCompress || FData.empty()) ? FBitmap->Height() : FHeight; }

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::ReadSize() {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        throw EInvalidGraphic(std::string("JPEG error: ") + err.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(FData.data()), static_cast<unsigned long>(FData.size()));
    jpeg_read_header(&cinfo, TRUE);
    FWidth = static_cast<int>(cinfo.image_width);
    FHeight = static_cast<int>(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
}

void TJPEGImage::LoadFromStream(TStream* Stream) {
    std::int64_t start = Stream->Position();
    std::string all = Stream->ReadAll();
    std::size_t len = StreamLength(reinterpret_cast<const std::uint8_t*>(all.data()), all.size());
    std::string data = all.substr(0, len);
    std::string old = std::move(FData);
    FData = std::move(data);
    try {
        ReadSize();
    } catch (...) {
        FData = std::move(old);
        Stream->SetPosition(start);
        throw;
    }
    Stream->SetPosition(start + static_cast<std::int64_t>(len));
    delete FBitmap;
    FBitmap = nullptr;
    FNeedCompress = false;
    Changed(this);
}

void TJPEGImage::SaveToStream(TStream* Stream) {
    if (FNeedCompress) Compress();
    if (!FData.empty()) Stream->WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TJPEGImage::Decode() {
    if (FBitmap || FData.empty()) return;
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    auto* bmp = new TBitmap;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete bmp;
        throw EInvalidGraphic(std::string("JPEG error: ") + err.message);
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(FData.data()), static_cast<unsigned long>(FData.size()));
    jpeg_read_header(&cinfo, TRUE);
    bool grey = FGrayscale || cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1u << static_cast<int>(FScale);
    jpeg_start_decompress(&cinfo);
    int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
    bmp->SetPixelFormat(grey ? pf8bit : pf24bit);
    if (grey) {
        std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
        lp->palNumEntries = 256;
        for (int i = 0; i < 256; ++i)
            lp->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        bmp->SetPalette(CreatePalette(lp));
    }
    bmp->SetSize(w, h);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * (grey ? 1 : 3));
    while (cinfo.output_scanline < cinfo.output_height) {
        int y = static_cast<int>(cinfo.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&cinfo, rows, 1);
        auto* out = static_cast<std::uint8_t*>(bmp->ScanLine(y));
        if (grey) {
            std::memcpy(out, row.data(), row.size());
        } else {
            for (int x = 0; x < w; ++x) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    FBitmap = bmp;
}

TBitmap* TJPEGImage::Bitmap() {
    Decode();
    if (!FBitmap) FBitmap = new TBitmap;
    return FBitmap;
}

void TJPEGImage::Compress() {
    if (!FBitmap || FBitmap->Empty()) {
        FNeedCompress = false;
        return;
    }
    TBitmap rgb;
    rgb.Assign(FBitmap);
    rgb.SetPixelFormat(pf24bit);
    int w = rgb.Width(), h = rgb.Height();
    jpeg_compress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(mem);
        throw EInvalidGraphic(std::string("JPEG error: ") + err.message);
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(w);
    cinfo.image_height = static_cast<JDIMENSION>(h);
    cinfo.input_components = FGrayscale ? 1 : 3;
    cinfo.in_color_space = FGrayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(CompressionQuality, 1, 100), TRUE);
    if (ProgressiveEncoding) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const auto* in = static_cast<const std::uint8_t*>(rgb.ScanLine(static_cast<int>(cinfo.next_scanline)));
        for (int x = 0; x < w; ++x) {
            if (FGrayscale) {
                row[x] = static_cast<unsigned char>((77 * in[3 * x + 2] + 150 * in[3 * x + 1] + 29 * in[3 * x]) >> 8);
            } else {
                row[3 * x] = in[3 * x + 2];
                row[3 * x + 1] = in[3 * x + 1];
                row[3 * x + 2] = in[3 * x];
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    FData.assign(reinterpret_cast<const char*>(mem), size);
    std::free(mem);
    FWidth = w;
    FHeight = h;
    FNeedCompress = false;
}

void TJPEGImage::SetGrayscale(bool g) {
    if (g == FGrayscale) return;
    FGrayscale = g;
    if (!FNeedCompress && !FData.empty()) {
        delete FBitmap;
        FBitmap = nullptr;
    }
    Changed(this);
}

void TJPEGImage::SetScale(TJPEGScale s) {
    if (s == FScale) return;
    FScale = s;
    if (!FNeedCompress && !FData.empty()) {
        delete FBitmap;
        FBitmap = nullptr;
    }
    Changed(this);
}

void TJPEGImage::Draw(TCanvas* ACanvas, const RECT& R) {
    if (Empty()) return;
    Bitmap()->Draw(ACanvas, R);
}

void TJPEGImage::Assign(TPersistent* Source) {
    if (auto j = dynamic_cast<TJPEGImage*>(Source)) {
        if (j == this) return;
        if (j->FNeedCompress) j->Compress();
        FData = j->FData;
        FWidth = j->FWidth;
        FHeight = j->FHeight;
        FGrayscale = j->FGrayscale;
        FScale = j->FScale;
        CompressionQuality = j->CompressionQuality;
        delete FBitmap;
        FBitmap = nullptr;
        FNeedCompress = false;
        Changed(this);
        return;
    }
    if (auto b = dynamic_cast<TBitmap*>(Source)) {
        auto* copy = new TBitmap;
        copy->Assign(b);
        delete FBitmap;
        FBitmap = copy;
        FData.clear();
        FWidth = copy->Width();
        FHeight = copy->Height();
        FNeedCompress = true;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
    if (auto b = dynamic_cast<TBitmap*>(Dest)) {
        b->Assign(Bitmap());
        return;
    }
    TGraphic::AssignTo(Dest);
}
