// The capture's picture: the font and the painter at the capture's scale.
#include "capture/capture_picture.h"

#include "demo/frame_stepper.h"

bool CapturePicture::create(int32_t scale) {
    return loadFontResource(font) && painter.create(font, FrameStepper::kScreenWidth,
                                                    FrameStepper::kScreenHeight, 2 * scale, scale);
}
