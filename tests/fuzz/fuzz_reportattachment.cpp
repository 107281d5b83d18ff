// A PDF as raw bytes, read as "Import from Report" reads one: the embedded job file is looked for
// within the bounds the reader keeps, and what it finds is read as a job. Anything found is at most
// maxAttachmentBytes, and a job read from it writes and reads back to an equal job.
#include "fuzzcheck.h"
#include "service/pdfattachment.h"
#include "service/servicerecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray found;
    if (!pdfEmbeddedFile(fuzzBytes(data, size), reportAttachmentName, found))
        return 0;
    FUZZ_EXPECT(found.size() <= maxAttachmentBytes, "no more than the attachment limit");
    QString ampName;
    AmpRecord amp;
    ServiceJob job;
    if (!jobFromReportAttachment(found, ampName, amp, job))
        return 0;
    FUZZ_EXPECT(job.after.size() <= 12 && job.before.size() <= 12, "no more tubes than the bench has");
    QString ampAgain;
    AmpRecord ampRead;
    ServiceJob again;
    FUZZ_EXPECT(jobFromReportAttachment(reportAttachment(ampName, amp, job), ampAgain, ampRead, again),
                "a job written back must read again");
    FUZZ_EXPECT(ampAgain == ampName && ampRead == amp, "the amp reads back as written");
    return 0;
}
