// zrkclun_out.h - the layouts of the logical-unit and RVZ settings of
// zrkccopy: lunstatus (10), rvzbuff (12, and 13 with -v) and
// copypriority -q (15).
#pragma once

#include "zrkcout.h"

namespace zrkcli {

// Registers the printers of layouts 10, 12, 13 and 15 with list_out.
void RegisterLunLayouts();

// The printers, as list_out calls them (result: LunStatusList,
// RvzBuffQueryInfo in normal or detail form, CopyPriorityInfo). 0, or 2
// after the ZRKC0101 line of an rvzbuff -num that no buffer carries.
int PrintLunStatus(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out);
int PrintRvzBuff(int resultSize, const void *result, const CommandParam &param,
                 const ReturnInfo &ri, const Out &out);
int PrintCopyPriority(int resultSize, const void *result, const CommandParam &param,
                      const ReturnInfo &ri, const Out &out);

}  // namespace zrkcli
