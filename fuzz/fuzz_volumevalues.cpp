// Grid values imported into the volume view.
#include "fuzz/FuzzInput.h"
#include "views/VolumeValueFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QList<double> values;
    int largest = 0;
    QString error;
    VolumeValueFile::read(FuzzInput::file(data, size), &values, &largest, &error);
    return 0;
}
