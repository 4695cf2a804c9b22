// zrkcdetail.h - the lists an array fills for a command, each read into
// the room its caller has (zrkcsessions.cpp): the detail-list area and the
// one read of a detail list into it, and the read of a source's SnapKZP+
// generation list.
//
// The area holds as many entries as the caller's room: the maximum session
// count of the volume that the list is read for (at most 65,535, as the
// volume information carries it in 16 bits), or every session a list can
// name where the Parts read every session. The read passes that room down to
// the API, which never writes beyond it; a list that would not fit fails
// there. The area is allocated zeroed and never cleared again: only the
// entries a read reports are read.
#pragma once

#include "zrkc.h"
#include "zrkcops.h"
#include "zrklist.h"

#include <cstdint>
#include <memory>

namespace zrkc {

// The most entries one detail list can hold: one per 16-bit identifier.
constexpr uint32_t kDetailListRoom = static_cast<uint32_t>(zrk::kDetailListMax);

class DetailArea {
public:
    // Room for room entries (at least 1), allocated anew only when it is
    // more than the area holds; false when the memory is not there.
    bool Reserve(uint32_t room);
    DETAIL_LIST_INFO *Entries() const { return pEntries.get(); }
    uint32_t Room() const { return uiRoom; }

private:
    std::unique_ptr<DETAIL_LIST_INFO, zrk::FreeDeleter> pEntries; // uiRoom entries, zeroed once
    uint32_t uiRoom = 0;                                          // entries allocated
};

// One read of a detail list (Op::DetailList on the road it took): the API's
// result and the entries it wrote (0 on failure).
struct DetailRead {
    int iResult;
    uint32_t uiCount;
};

// The detail list of the array behind volume (on the road of transport)
// with the API option apiFlags into area, never beyond its room.
DetailRead ReadDetailInto(const char *volume, uint8_t transport, uint32_t apiFlags,
                          DetailArea &area, unsigned char *sense);
// ReadDetailInto with a sense area of its own, its result mapped into ri
// (com_set_return_inf under Op::DetailList on the road of transport); count
// receives the entries read. 0, or -1 with the result filled.
int ReadDetailList(const char *volume, uint8_t transport, uint32_t apiFlags, DetailArea &area,
                   uint32_t &count, ReturnInfo *ri);

// The SnapKZP+ generations of pair's source extent (through the pair's
// access volume and transport) into list, which holds room slots after its
// head (the count at bytes 0-1); a list of more generations fails in the
// API before a slot is written. The API's result (Op::GenerationList on the
// pair's road).
int ReadGenerationsInto(const CopyPair &pair, uint32_t apiOption, unsigned char *list,
                        uint32_t room, unsigned char *sense);

} // namespace zrkc
