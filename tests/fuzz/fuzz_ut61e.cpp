// The UT61E's frame stream (ES51922), as a serial port hands it over.
#include "fuzz_meterdecoders.h"
#include "meter/ut61edecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkMeterDecoder(data, size, [] { return std::make_unique<Ut61eDecoder>(); });
    return 0;
}
