// The picture readers: ten picture classes that read foreign file formats into ordinary bitmaps
// (TIFF, SGI, Autodesk, Targa with its writer, PCX, Photo-CD, PPM/PGM, CUT, the first frame of a
// GIF, RLA), and their 22 rows of the picture-format list.
#pragma once

#include "imagecodecs/PictureReaders/AutodeskGraphic.h"
#include "imagecodecs/PictureReaders/CutGraphic.h"
#include "imagecodecs/PictureReaders/GifGraphic.h"
#include "imagecodecs/PictureReaders/PcdGraphic.h"
#include "imagecodecs/PictureReaders/PcxGraphic.h"
#include "imagecodecs/PictureReaders/PpmGraphic.h"
#include "imagecodecs/PictureReaders/RlaGraphic.h"
#include "imagecodecs/PictureReaders/SgiGraphic.h"
#include "imagecodecs/PictureReaders/TargaGraphic.h"
#include "imagecodecs/PictureReaders/TiffGraphic.h"

// The module's start-up: registers the 22 extensions, in their fixed order, after the GIF picture
// class and the JPEG module have registered theirs. The shutdown unregisters the ten classes (before
// the GIF module shuts down).
void PictureReadersStartup();
void PictureReadersShutdown();

// One row of the readers' part of the picture-format list.
struct TPictureReaderRow {
    const char* Extension;
    const char* Description;
    TGraphicClass (*Class)();
};
// The 22 rows in registration order.
const std::vector<TPictureReaderRow>& PictureReaderRows();
