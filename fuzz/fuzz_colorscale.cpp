// Colour preset files (.clr).
#include "fuzz/FuzzInput.h"
#include "shell/ColorScaleFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QMap<float, QColor> ramp;
    ColorScaleFile::read(FuzzInput::file(data, size), ramp);
    return 0;
}
