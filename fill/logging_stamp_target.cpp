#include "fill/logging_stamp_target.h"

#include "fill/stamp_log.h"

int mtxLoggingStampTarget::Draw(const mtxStamp& stamp, const SampleCollection& samples) {
    if (!inner_.Draw(stamp, samples)) return 0;
    log_.Append(stamp, mode);
    return 1;
}
