// The readers' rows of the picture-format list, registered in one fixed order at start-up and
// removed class by class at shutdown.
#include "imagecodecs/PictureReaders.h"

namespace {

template <class T>
TGraphicClass ClassOf() {
    return GraphicClassOf<T>();
}

const std::vector<TPictureReaderRow> kRows = {
    {"win", "Truevision images", ClassOf<TTargaGraphic>},
    {"vst", "Truevision images", ClassOf<TTargaGraphic>},
    {"vda", "Truevision images", ClassOf<TTargaGraphic>},
    {"tiff", "TIFF images", ClassOf<TTIFFGraphic>},
    {"tif", "TIFF images", ClassOf<TTIFFGraphic>},
    {"tga", "Truevision images", ClassOf<TTargaGraphic>},
    {"sgi", "SGI true color images", ClassOf<TSGIGraphic>},
    {"scr", "Word 5.x screen capture images", ClassOf<TPCXGraphic>},
    {"rla", "SGI Wavefront images", ClassOf<TRLAGraphic>},
    {"rgba", "SGI true color images", ClassOf<TSGIGraphic>},
    {"rgb", "SGI true color images", ClassOf<TSGIGraphic>},
    {"ppm", "Portable pixel map images", ClassOf<TPPMGraphic>},
    {"pgm", "Portable grayscale images", ClassOf<TPPMGraphic>},
    {"pic", "Autodesk images", ClassOf<TAutodeskGraphic>},
    {"pcx", "ZSoft PCX images", ClassOf<TPCXGraphic>},
    {"pcd", "Kodak Photo-CD images", ClassOf<TPCDGraphic>},
    {"pcc", "ZSoft PCC images", ClassOf<TPCXGraphic>},
    {"icb", "Truevision images", ClassOf<TTargaGraphic>},
    {"gif", "CompuServe images", ClassOf<TGIFGraphic>},
    {"cut", "Dr. Halo images", ClassOf<TCUTGraphic>},
    {"cel", "Autodesk images", ClassOf<TAutodeskGraphic>},
    {"bw", "SGI black/white images", ClassOf<TSGIGraphic>},
};

// Unregistration order.
const std::vector<TGraphicClass (*)()> kClasses = {
    ClassOf<TTargaGraphic>, ClassOf<TTIFFGraphic>, ClassOf<TSGIGraphic>, ClassOf<TPCXGraphic>, ClassOf<TAutodeskGraphic>,
    ClassOf<TPCDGraphic>,   ClassOf<TPPMGraphic>,  ClassOf<TCUTGraphic>, ClassOf<TGIFGraphic>, ClassOf<TRLAGraphic>,
};

}  // namespace

const std::vector<TPictureReaderRow>& PictureReaderRows() { return kRows; }

void PictureReadersStartup() {
    for (const auto& row : kRows) TPicture::RegisterFileFormat(row.Extension, row.Description, row.Class());
}

void PictureReadersShutdown() {
    for (auto cls : kClasses) TPicture::UnregisterGraphicClass(cls());
}
