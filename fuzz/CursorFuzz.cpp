// The .cur and .ani readers on arbitrary bytes: static and animated cursors (told apart by the
// first bytes, as a file is loaded) and the icon directory with the pick of the image to show.
#include "fuzz/FuzzSupport.h"
#include "player_control/cursors/CursorFile.h"

#include <vector>

using namespace qxm::cursors;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // A copy of exactly size bytes, so a read past the end is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    CursorData cursor;
    if (readCursor(bytes, cursor) == CursorError::None) {
        QXM_FUZZ_CHECK(!cursor.frames.empty() && !cursor.steps.empty());
        QXM_FUZZ_CHECK(cursor.frames.size() <= kMaxAnimationFrames);
        QXM_FUZZ_CHECK(cursor.steps.size() <= kMaxAnimationSteps);
        for (const CursorStep& step : cursor.steps) {
            QXM_FUZZ_CHECK(step.frame < cursor.frames.size());
            QXM_FUZZ_CHECK(stepMilliseconds(step) > 0);
        }
        for (const CursorImage& image : cursor.frames) {
            QXM_FUZZ_CHECK(image.width > 0 && image.width <= kMaxCursorSize);
            QXM_FUZZ_CHECK(image.height > 0 && image.height <= kMaxCursorSize);
            QXM_FUZZ_CHECK(image.hotspotX >= 0 && image.hotspotX < image.width);
            QXM_FUZZ_CHECK(image.hotspotY >= 0 && image.hotspotY < image.height);
            QXM_FUZZ_CHECK(image.isPng() ||
                           image.rgba.size() == std::size_t(image.width) * image.height * 4);
        }
    }
    std::vector<CursorImage> images;
    if (readCursorImages(bytes, images) == CursorError::None) {
        QXM_FUZZ_CHECK(!images.empty() && images.size() <= kMaxCursorImages);
        QXM_FUZZ_CHECK(pickCursorImage(images) < images.size());
        QXM_FUZZ_CHECK(pickCursorImage(images, 0) < images.size());
    }
    return 0;
}
