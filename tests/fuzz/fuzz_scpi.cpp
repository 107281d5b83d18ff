// Answers of a SCPI meter; the first byte picks the dialect.
#include "fuzz_meterdecoders.h"
#include "meter/scpidecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const auto dialect = ScpiDialect(data[0] % 4);
    checkMeterDecoder(data + 1, size - 1, [dialect] { return std::make_unique<ScpiDecoder>(dialect); });
    return 0;
}
