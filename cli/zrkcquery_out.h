// zrkcquery_out.h - the layouts of the copy query's result (zrkccopy query):
// 1 (query), 2 (query -v), 3 (query -g), 16 (query -tfop) and 17
// (query -vvol), in text and CSV.
//
// Contract: each printer reads the record zrkc_query_copy filled
// (zrkcquery.h) and never more than resultSize bytes of it: items that the
// count announces beyond the buffer are not printed. The buffer is only
// read; the name adjustment of a query by volume is made on the printed
// values. A program that prints a copy query calls RegisterCopyQueryLayouts
// once before list_out.
#pragma once

#include "zrkcout.h"

namespace zrkcli {

// Registers the five printers below with their layouts.
void RegisterCopyQueryLayouts();

// Layout 1: CopyQueryList (8-byte header) with CopyQueryEntry items.
int PrintCopyQuery(int resultSize, const void *result, const CommandParam &param,
                   const ReturnInfo &ri, const Out &out);
// Layout 2: CopyQueryList (24-byte header, version text) with extended
// CopyQueryDetailEntry items; the text columns follow the version.
int PrintCopyQueryDetail(int resultSize, const void *result, const CommandParam &param,
                         const ReturnInfo &ri, const Out &out);
// Layout 3: GenerationList, then per source a GenerationBlock and its items.
int PrintGenerations(int resultSize, const void *result, const CommandParam &param,
                     const ReturnInfo &ri, const Out &out);
// Layout 16: plain items by logical unit and alias; no group-file rows.
int list_out_query_tfop(int resultSize, const void *result, const CommandParam &param,
                        const ReturnInfo &ri, const Out &out);
// Layout 17: extended detail items in the widest columns, values raw.
int list_out_query_vvol(int resultSize, const void *result, const CommandParam &param,
                        const ReturnInfo &ri, const Out &out);

}  // namespace zrkcli
