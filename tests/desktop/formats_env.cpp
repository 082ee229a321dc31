// Fills the picture-format list for this test program.
#include "platform/classlib/graphics/pictureformats.h"

namespace {
const auto* const kFormats = ::testing::AddGlobalTestEnvironment(new testsupport::PictureFormatsEnvironment);
}  // namespace
