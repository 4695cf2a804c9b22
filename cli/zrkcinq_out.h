// zrkcinq_out.h - the layouts of the inquiry program: vol (layout 6, a
// VolumeQueryInfo) and device (layout 14, a DeviceQueryInfo).
#pragma once

#include "zrkcout.h"

namespace zrkcli {

// Registers the printers of the vol and device layouts with list_out.
void RegisterInqLayouts();

// The printers themselves (result: the record the command filled).
int PrintVolLayout(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out);
int PrintDeviceLayout(int resultSize, const void *result, const CommandParam &param,
                      const ReturnInfo &ri, const Out &out);

}  // namespace zrkcli
