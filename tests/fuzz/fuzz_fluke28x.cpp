// Answers of a Fluke 287/289 to ID and QM.
#include "fuzz_meterdecoders.h"
#include "meter/fluke28xdecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkMeterDecoder(data, size, [] { return std::make_unique<Fluke28xDecoder>(); });
    return 0;
}
