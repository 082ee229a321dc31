// JPEG pictures through libjpeg: TJPEGImage, and the JPEG module's rows of the picture-format list
// ("jpeg" and "jpg", "JPEG Image File"), registered by JPEGStartup.
#pragma once

#include <memory>

#include "platform/classlib/graphics.h"

enum TJPEGPixelFormat { jf24Bit, jf8Bit };
enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };

// The most scans a stream may have (encoders write up to ten for a progressive colour picture).
constexpr int kMaxJPEGScans = 100;

// The JPEG module's start-up and shutdown: JPEGStartup appends "jpeg" and "jpg" to the picture-format
// list (after the class library's own rows, GraphicsStartup); JPEGShutdown removes them. A program's
// start calls them in module order (see graphics.h).
void JPEGStartup();
void JPEGShutdown();

// The compressed data is kept; the bitmap is decoded on first use (drawing, Bitmap(), Assign to a
// bitmap). Broken data raises EInvalidGraphic "JPEG error: " + libjpeg's message; a frame larger than
// the pixel cap of platform/gdi/picturelimits.h raises "JPEG error: picture too large", and one with
// fewer bits of Huffman-coded data than it has 8 x 8 blocks "JPEG error: picture larger than its
// data", both when the stream is read and before any pixel is allocated; a stream of more than
// kMaxJPEGScans scans raises "JPEG error: too many scans" when it is decoded, before the extra
// scan's data is read; and running out of memory raises EOutOfResources. Grey, RGB/YCbCr and CMYK
// (YCCK, plain or Adobe's inverted form) pictures are read.

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;
    const char* ClassName() const override { return "TJPEGImage"; }

    // From a TJPEGImage (the data is shared by copy) or a TBitmap (compressed at CompressionQuality).
    void Assign(TPersistent* Source) override;
    void Draw(TCanvas* ACanvas, const RECT& R) override;
    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    // A JPEG cannot be resized: both raise EInvalidGraphicOperation "Cannot change the size of a JPEG image".
    void SetWidth(int) override;
    void SetHeight(int) override;
    // Reads one JPEG stream from the current position to the end of its data (EOI marker).
    void LoadFromStream(TStream* Stream) override;
    // Writes the compressed data; a bitmap assigned since is compressed first.
    void SaveToStream(TStream* Stream) override;

    // The decoded picture (24 bits, or 8 bits grey for a greyscale JPEG or Grayscale set). CMYK
    // pictures are converted to RGB as R = (255 - C) x (255 - K) / 255 (likewise G from M, B from Y).
    TBitmap* Bitmap();
    // Compresses the bitmap (when the image came from one) now.
    void Compress();
    // Decoding options; a change drops the decoded bitmap.
    bool Grayscale() const { return FGrayscale; }
    void SetGrayscale(bool g);
    TJPEGScale Scale() const { return FScale; }
    void SetScale(TJPEGScale s);
    TJPEGPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TJPEGPixelFormat f) { FPixelFormat = f; }
    // 1..100, default 90; used when compressing a bitmap.
    int CompressionQuality = 90;
    bool ProgressiveEncoding = false;

protected:
    void AssignTo(TPersistent* Dest) override;  // into a TBitmap

private:
    void Decode();
    void ReadSize();
    std::string FData;  // the JPEG stream
    std::unique_ptr<TBitmap> FBitmap;
    bool FNeedCompress = false;
    bool FGrayscale = false;
    TJPEGScale FScale = jsFullSize;
    TJPEGPixelFormat FPixelFormat = jf24Bit;
    int FWidth = 0, FHeight = 0;
};
