// The instrument's GPS coordinate file.
#include "fuzz/FuzzInput.h"
#include "iolib/Drumvelt.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Drumvelt drumvelt;
    drumvelt.ReadGPSCoordinateFile(FuzzInput::file(data, size));
    return 0;
}
