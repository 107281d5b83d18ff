#include "meter/meterdecoder.h"

QList<QByteArray> MeterLineBuffer::feed(QByteArrayView bytes, int* discarded)
{
    QList<QByteArray> lines;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!skipping && !pending.isEmpty())
                lines.append(pending);
            pending.clear();
            skipping = false;
            continue;
        }
        if (skipping) {
            ++*discarded;
            continue;
        }
        if (pending.size() >= maxLine) {
            *discarded += int(pending.size()) + 1;
            pending.clear();
            skipping = true;
            continue;
        }
        pending.append(c);
    }
    return lines;
}
