// Layered-model text files.
#include "fuzz/FuzzInput.h"
#include "model/ModelFiles.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LayerModeler model;
    ModelFiles::readModelFile(FuzzInput::file(data, size), model);
    return 0;
}
