// The mesh program's vertex input (.node).
#include "fuzz/FuzzInput.h"
#include "platform/triangle/NodeFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NodeFile nodes;
    QString error;
    nodes.read(FuzzInput::file(data, size), &error);
    return 0;
}
