// The probe report's property labels, written out by hand (18 columns each)
// so that tests compare the report with the text users see, not with the
// function that builds it. Property 32 (Focus Setting) is not reported.
#pragma once

namespace lumora::test {

constexpr const char* kReportLabels[32] = {
    "Brightness        ", "Contrast          ", "Hue               ", "Saturation        ",
    "Sharpness         ", "Gamma             ", "ColorEnable       ", "WhiteBalance      ",
    "BacklightComp.    ", "*WhiteBalanceMode ", "*WhiteBalRed      ", "*WhiteBalBlue     ",
    "*FlickerFree      ", "*Flicker50_60     ", "*FPS              ", "Exposure          ",
    "Gain              ", "*FlipHorizontal   ", "*FlipVertical     ", "*AutoExposure     ",
    "*AutoAll          ", "ActualFrameRate   ", "*LED              ", "*Setting          ",
    "External Trigger  ", "SW-Trigger        ", "Pan Cam           ", "Tilt Cam          ",
    "Roll Cam          ", "Zoom Cam          ", "CamExposure       ", "Iris Setting      ",
};

}  // namespace lumora::test
