#include "settings/measure_settings.h"

MeasureSettings SharedMeasureSettings;
TransferSettings SharedTransferSettings;

double AveragingSeconds(int32_t averaging)
{
    switch (averaging) {
    case 1: return 0.125;
    case 2: return 1.0;
    case 3: return 4.0;
    case 4: return 0.0;
    default: return -1.0;
    }
}
