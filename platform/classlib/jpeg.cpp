// TJPEGImage over libjpeg (API 6.2, memory source and destination).
//
// libjpeg reports a fault by jumping (longjmp) back to the setjmp of the call that started it. So
// every libjpeg call runs inside RunDecode or RunEncode, whose frames hold only plain C data; the
// C++ objects (the bitmap, the compressed bytes) live in the callers, which see a failure as a
// false return with libjpeg's message.
#include "platform/classlib/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/classlib/graphics/streamdata.h"
#include "platform/gdi/picturelimits.h"

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

void SetMessage(char* to, const char* text) {
    std::snprintf(to, JMSG_LENGTH_MAX, "%s", text);
}

// Called by libjpeg before each step of reading the compressed data. Every scan of a progressive
// or multi-scan stream visits all blocks of its components, however few bytes it has, so a small
// file of many scans would cost a pass over the whole picture per scan; past kMaxJPEGScans the read
// stops as a fault, before the extra scan's data is decoded.
void OnProgress(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor || reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxJPEGScans) return;
    auto* e = reinterpret_cast<ErrorMgr*>(cinfo->err);
    SetMessage(e->message, "too many scans");
    std::longjmp(e->jump, 1);
}

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

// ---- Decoding ----
enum class Samples { Grey, Rgb, Cmyk, InvertedCmyk };

// Where decoded rows go. MakeImage is called once, between libjpeg calls, and catches its own
// exceptions (false: out of memory); Row gives the 24-bit (blue, green, red) or 8-bit grey row y.
struct DecodeTarget {
    void* context;
    bool (*MakeImage)(void* context, int width, int height, bool grey);
    std::uint8_t* (*Row)(void* context, int y);
};

struct DecodeJob {
    const unsigned char* data;
    unsigned long size;
    bool grayscale;
    unsigned scaleDenom;
    bool headerOnly;
    DecodeTarget target;
    int width, height;  // of the frame (header) or of the output (full decode)
    bool outOfMemory;
    char message[JMSG_LENGTH_MAX];
};

// One row of libjpeg samples into the bitmap's row. CMYK follows Adobe's inverted form (as
// libjpeg-turbo's own converters do): a stored 255 is no ink; plain CMYK is turned over first.
void ConvertRow(const JSAMPLE* in, std::uint8_t* out, int width, Samples kind) {
    switch (kind) {
        case Samples::Grey:
            std::memcpy(out, in, static_cast<std::size_t>(width));
            return;
        case Samples::Rgb:
            for (int x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            return;
        case Samples::Cmyk:
        case Samples::InvertedCmyk: {
            const unsigned flip = kind == Samples::Cmyk ? 255u : 0u;
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                const unsigned c = in[0] ^ flip, m = in[1] ^ flip, y = in[2] ^ flip, k = in[3] ^ flip;
                out[0] = static_cast<std::uint8_t>((2 * y * k + 255) / 510);
                out[1] = static_cast<std::uint8_t>((2 * m * k + 255) / 510);
                out[2] = static_cast<std::uint8_t>((2 * c * k + 255) / 510);
            }
            return;
        }
    }
}

// Every libjpeg call of a decode. Nothing with a destructor lives in this frame.
bool RunDecode(DecodeJob* job) {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    job->outOfMemory = false;
    if (setjmp(err.jump)) {
        SetMessage(job->message, err.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, job->data, job->size);
    jpeg_read_header(&cinfo, TRUE);
    job->width = static_cast<int>(cinfo.image_width);
    job->height = static_cast<int>(cinfo.image_height);
    if (!gdi::PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        SetMessage(job->message, "picture too large");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Huffman-coded data spends at least one bit on every 8 x 8 block of the frame (the first
    // component's DC code), so a frame far larger than its data is refused before anything is made.
    if (!cinfo.arith_code && static_cast<std::uint64_t>(job->size) * 8 <
                                 ((cinfo.image_width + 7ull) / 8) * ((cinfo.image_height + 7ull) / 8)) {
        SetMessage(job->message, "picture larger than its data");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (job->headerOnly) {
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    Samples kind = Samples::Rgb;
    if (job->grayscale || cinfo.jpeg_color_space == JCS_GRAYSCALE) {
        kind = Samples::Grey;
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        kind = cinfo.saw_Adobe_marker ? Samples::InvertedCmyk : Samples::Cmyk;
        cinfo.out_color_space = JCS_CMYK;
    } else {
        cinfo.out_color_space = JCS_RGB;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = job->scaleDenom;
    jpeg_start_decompress(&cinfo);
    const int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
    job->width = w;
    job->height = h;
    if (!job->target.MakeImage(job->target.context, w, h, kind == Samples::Grey)) {
        job->outOfMemory = true;
        SetMessage(job->message, "out of memory");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 static_cast<JDIMENSION>(w) * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = static_cast<int>(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, rows, 1);
        ConvertRow(rows[0], job->target.Row(job->target.context, y), w, kind);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// ---- Encoding ----
// Rows come from Row (24-bit blue, green, red); the result is handed to Done before libjpeg's
// buffer is freed (Done catches its own exceptions).
struct EncodeJob {
    void* context;
    const std::uint8_t* (*Row)(void* context, int y);
    bool (*Done)(void* context, const unsigned char* data, unsigned long size);
    int width, height, quality;
    bool grayscale, progressive;
    char message[JMSG_LENGTH_MAX];
};

// Every libjpeg call of an encode. Nothing with a destructor lives in this frame.
bool RunEncode(EncodeJob* job) {
    jpeg_compress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        SetMessage(job->message, err.message);
        jpeg_destroy_compress(&cinfo);
        std::free(mem);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = static_cast<JDIMENSION>(job->width);
    cinfo.image_height = static_cast<JDIMENSION>(job->height);
    cinfo.input_components = job->grayscale ? 1 : 3;
    cinfo.in_color_space = job->grayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(job->quality, 1, 100), TRUE);
    if (job->progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPARRAY rows = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 static_cast<JDIMENSION>(job->width) * 3, 1);
    JSAMPLE* row = rows[0];
    while (cinfo.next_scanline < cinfo.image_height) {
        const std::uint8_t* in = job->Row(job->context, static_cast<int>(cinfo.next_scanline));
        for (int x = 0; x < job->width; ++x) {
            if (job->grayscale) {
                row[x] = static_cast<JSAMPLE>((77 * in[3 * x + 2] + 150 * in[3 * x + 1] + 29 * in[3 * x]) >> 8);
            } else {
                row[3 * x] = in[3 * x + 2];
                row[3 * x + 1] = in[3 * x + 1];
                row[3 * x + 2] = in[3 * x];
            }
        }
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool kept = job->Done(job->context, mem, size);
    std::free(mem);
    if (!kept) SetMessage(job->message, "out of memory");
    return kept;
}

[[noreturn]] void RaiseJpegError(const char* message, bool outOfMemory) {
    if (outOfMemory) throw EOutOfResources("Out of system resources");
    throw EInvalidGraphic(std::string("JPEG error: ") + message);
}

DecodeJob JobFor(const std::string& data) {
    DecodeJob job{};
    job.data = reinterpret_cast<const unsigned char*>(data.data());
    job.size = static_cast<unsigned long>(data.size());
    job.scaleDenom = 1;
    return job;
}

// The grey ramp of an 8-bit grey picture.
HPALETTE GreyPalette() {
    std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 256;
    for (int i = 0; i < 256; ++i)
        lp->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    return CreatePalette(lp);
}

constexpr struct {
    const char* Extension;
    const char* Description;
} kJPEGFormats[] = {
    {"jpeg", "JPEG Image File"},
    {"jpg", "JPEG Image File"},
};

}  // namespace

void JPEGStartup() {
    for (const auto& f : kJPEGFormats) TPicture::RegisterFileFormat<TJPEGImage>(f.Extension, f.Description);
}

void JPEGShutdown() { TPicture::UnregisterGraphicClass<TJPEGImage>(); }

TJPEGImage::TJPEGImage() = default;

TJPEGImage::~TJPEGImage() = default;

bool TJPEGImage::Empty() const { return FData.empty() && (!FBitmap || FBitmap->Empty()); }

int TJPEGImage::Width() const { return FBitmap && (FNeedCompress || FData.empty()) ? FBitmap->Width() : FWidth; }

int TJPEGImage::Height() const { return FBitmap && (FNeedCompress || FData.empty()) ? FBitmap->Height() : FHeight; }

void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::ReadSize() {
    DecodeJob job = JobFor(FData);
    job.headerOnly = true;
    if (!RunDecode(&job)) RaiseJpegError(job.message, job.outOfMemory);
    FWidth = job.width;
    FHeight = job.height;
}

void TJPEGImage::LoadFromStream(TStream* Stream) {
    std::int64_t start = Stream->Position();
    const graphics_detail::StreamBytes all = graphics_detail::ReadRest(Stream);
    const std::size_t len = StreamLength(all.data, all.size);
    std::string old = std::move(FData);
    FData = len ? std::string(reinterpret_cast<const char*>(all.data), len) : std::string();
    try {
        ReadSize();
    } catch (...) {
        FData = std::move(old);
        Stream->SetPosition(start);
        throw;
    }
    Stream->SetPosition(start + static_cast<std::int64_t>(len));
    FBitmap.reset();
    FNeedCompress = false;
    Changed(this);
}

void TJPEGImage::SaveToStream(TStream* Stream) {
    if (FNeedCompress) Compress();
    if (!FData.empty()) Stream->WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TJPEGImage::Decode() {
    if (FBitmap || FData.empty()) return;
    auto bmp = std::make_unique<TBitmap>();
    DecodeJob job = JobFor(FData);
    job.grayscale = FGrayscale;
    job.scaleDenom = 1u << static_cast<int>(FScale);
    job.target.context = bmp.get();
    job.target.MakeImage = [](void* context, int w, int h, bool grey) {
        auto* b = static_cast<TBitmap*>(context);
        try {
            b->SetPixelFormat(grey ? pf8bit : pf24bit);
            if (grey) b->SetPalette(GreyPalette());
            b->SetSize(w, h);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const EOutOfMemory&) {
            return false;
        }
    };
    job.target.Row = [](void* context, int y) { return static_cast<std::uint8_t*>(static_cast<TBitmap*>(context)->ScanLine(y)); };
    if (!RunDecode(&job)) RaiseJpegError(job.message, job.outOfMemory);
    FBitmap = std::move(bmp);
}

TBitmap* TJPEGImage::Bitmap() {
    Decode();
    if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
    return FBitmap.get();
}

void TJPEGImage::Compress() {
    if (!FBitmap || FBitmap->Empty()) {
        FNeedCompress = false;
        return;
    }
    TBitmap rgb;
    rgb.Assign(FBitmap.get());
    rgb.SetPixelFormat(pf24bit);
    std::string out;
    struct Context {
        TBitmap* bitmap;
        std::string* out;
    } context{&rgb, &out};
    EncodeJob job{};
    job.context = &context;
    job.Row = [](void* c, int y) {
        return static_cast<const std::uint8_t*>(static_cast<Context*>(c)->bitmap->ScanLine(y));
    };
    job.Done = [](void* c, const unsigned char* data, unsigned long size) {
        try {
            static_cast<Context*>(c)->out->assign(reinterpret_cast<const char*>(data), size);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    };
    job.width = rgb.Width();
    job.height = rgb.Height();
    job.quality = CompressionQuality;
    job.grayscale = FGrayscale;
    job.progressive = ProgressiveEncoding;
    if (!RunEncode(&job)) RaiseJpegError(job.message, std::strcmp(job.message, "out of memory") == 0);
    FData = std::move(out);
    FWidth = job.width;
    FHeight = job.height;
    FNeedCompress = false;
}

void TJPEGImage::SetGrayscale(bool g) {
    if (g == FGrayscale) return;
    FGrayscale = g;
    if (!FNeedCompress && !FData.empty()) FBitmap.reset();
    Changed(this);
}

void TJPEGImage::SetScale(TJPEGScale s) {
    if (s == FScale) return;
    FScale = s;
    if (!FNeedCompress && !FData.empty()) FBitmap.reset();
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
        FBitmap.reset();
        FNeedCompress = false;
        Changed(this);
        return;
    }
    if (auto b = dynamic_cast<TBitmap*>(Source)) {
        auto copy = std::make_unique<TBitmap>();
        copy->Assign(b);
        FBitmap = std::move(copy);
        FData.clear();
        FWidth = FBitmap->Width();
        FHeight = FBitmap->Height();
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
