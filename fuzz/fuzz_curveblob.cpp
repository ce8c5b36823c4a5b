// Curve blobs from a project file, as a station and a sample unpack them.
#include "fuzz/FuzzInput.h"
#include "store/CurveBlob.h"
#include "store/Data_Point.h"
#include "store/Data_Sample.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

namespace {

// Any bit pattern, NaN and infinities included.
double anyDouble(FuzzedDataProvider& in)
{
    const uint64_t bits = in.ConsumeIntegral<uint64_t>();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

QByteArray blob(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(4096);
    return QByteArray(bytes.data(), int(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzInput::silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const double tmin = anyDouble(in);
    const double tmax = anyDouble(in);
    const int deviceType = in.ConsumeIntegralInRange<int>(0, 1);
    const double offRate = anyDouble(in);

    QByteArray blobs[9];
    for (QByteArray& b : blobs)
        b = blob(in);

    // Whole values come back bit for bit.
    const QVector<double> values = CurveBlob::fromBlob(blobs[0]);
    if (CurveBlob::toBlob(values) != blobs[0].left(values.size() * 8))
        std::abort();

    Data_Point point(nullptr);
    point.setDATA_RECV_QV18(blobs[0]);
    point.setDATA_TIMERECV_QV18(blobs[1]);
    point.setDATA_RECV_QV18RAW(blobs[2]);
    point.setDATA_RECV_LOG10(blobs[3]);
    point.setDATA_TIMERECV_LOG10(blobs[4]);
    point.setDATA_RECV_LOG10RAW(blobs[5]);
    point.setDATA_RECV_LOG20(blobs[6]);
    point.setDATA_TIMERECV_LOG20(blobs[7]);
    point.setDATA_RECV_LOG20RAW(blobs[8]);
    QVector<double> response, times, raw;
    point.unpackQV18(response, times, raw, tmin, tmax);
    point.unpackLOG10(response, times, raw, tmin, tmax);
    point.unpackLOG20(response, times, raw, tmin, tmax);
    point.unpackQV18Response(response, tmin, tmax);
    point.unpackLOG10Response(response, tmin, tmax);
    point.unpackLOG20Response(response, tmin, tmax);

    Data_Sample sample(nullptr);
    sample.setDeviceType(deviceType);
    sample.setDATA_RECV(blobs[0]);
    sample.setDATA_RECV_POS(blobs[1]);
    sample.setDATA_SEND(blobs[2]);
    sample.setDATA_SOFF(blobs[3]);
    sample.setSampleOffFs(offRate);
    sample.unpackRecv(response, times, true);
    sample.unpackRecv(response, times, false);
    sample.sendCurrent();
    sample.offTime();
    return 0;
}
