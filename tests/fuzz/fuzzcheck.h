#pragma once

// Shared by the fuzz targets: a failed expectation aborts, so libFuzzer keeps the input that caused
// it as a crash artifact.
#include <QByteArray>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_EXPECT(condition, message)                                                                      \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "fuzz expectation failed: %s (%s)\n", message, #condition);                 \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// The fuzzer's bytes without a copy; they live for the duration of one call.
inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}
