#include "travo.h"

#include "bytes.h"
#include "copy_pages.h"
#include "olu_status.h"
#include "rvz_pages.h"
#include "session_ops.h"
#include "support.h"

#include <algorithm>

namespace zrksim {

namespace {

constexpr std::uint8_t kAscInvalidField = 0x24;      // invalid field in CDB
constexpr std::uint8_t kAscNoSuchLun = 0x25;         // logical unit not supported

constexpr std::uint8_t kLargeForm = 0x08;
constexpr std::uint8_t kFailover = 0x20;
constexpr std::uint8_t kSecondary = 0x40;

ScsiAnswer refuse(std::uint8_t asc) { return checkCondition(scsi::kIllegalRequest, asc, 0); }

// The failover bits of byte 1: 0x20 exactly when the array announces
// failover, 0x40 only beside it.
bool failoverBitsFit(const Support &support, std::uint8_t byte1) {
    bool announced = (byte1 & kFailover) != 0;
    if ((byte1 & kSecondary) != 0 && !announced) return false;
    return announced == support.failover();
}

// A page, or the ASC it is refused with.
struct PageReply {
    Bytes data;
    std::uint8_t ucAsc = 0;  // non-zero: refused
};

PageReply refused(std::uint8_t asc = kAscInvalidField) { return PageReply{{}, asc}; }

bool setUp(const Support &s, Group a, Group b) { return s.setUp(a) || s.setUp(b); }

// The selection byte of page 0x43: one of 0x01, 0x10, 0x20, 0x40 (or none),
// plus 0x80.
bool selectionFits(const Support &support, std::uint8_t selection) {
    std::uint8_t which = selection & 0x7F;
    if (which != 0 && which != 0x01 && which != 0x10 && which != 0x20 && which != 0x40) return false;
    if (which == kSelectFailover && !support.failover()) return false;
    if (which == kSelectVvol && !support.virtualVolumes()) return false;
    return true;
}

class PageReader {
public:
    PageReader(SimState &state, const Array &array) : st_(state), array_(array), support_(array.support) {}

    PageReply read(std::uint8_t page, std::uint8_t mode, std::uint8_t byte3, std::uint16_t field,
                   std::size_t allocation) {
        const Model &model = st_.model;
        if (page == 0x00) return supportOrReserve(mode);
        if (mode != 1 && page != 0x23 && page != 0x35) return refused();
        switch (page) {
        case 0x02:
            if (!array_.qm()) return refused();
            return {pages::qmSupport(array_)};
        case 0x04:
        case 0x05:
            if (!setUp(support_, Group::Kzp, Group::RemoteKzp)) return refused();
            return {page == 0x05 ? pages::idList(model, array_, page) : pages::localDetail(model, array_, page, field, st_.ullClock)};
        case 0x08:
        case 0x09:
            if (!setUp(support_, Group::Vz, Group::Rvz)) return refused();
            return {page == 0x09 ? pages::idList(model, array_, page) : pages::localDetail(model, array_, page, field, st_.ullClock)};
        case 0x15:
        case 0x16:
            if (!support_.setUp(Group::RemoteKzp)) return refused();
            return {page == 0x15 ? pages::idList(model, array_, page) : pages::classicDetail(model, array_, page, field, st_.ullClock)};
        case 0x19:
        case 0x1A:
            if (!support_.setUp(Group::Rvz)) return refused();
            return {page == 0x19 ? pages::idList(model, array_, page) : pages::classicDetail(model, array_, page, field, st_.ullClock)};
        case 0x20:
            if (!setUp(support_, Group::RemoteKzp, Group::Rvz)) return refused();
            return {pages::remoteArrays(model, array_)};
        case 0x21:
            if (!support_.rvzBuffers()) return refused();
            return {pages::rvzBufferList(model, array_)};
        case 0x23: {
            auto buffer = array_.rvzBuffers.find(static_cast<std::uint8_t>(field));
            if (!support_.rvzBuffers() || (array_.ucRvzPages & 0x01) == 0 || field > 0xFF ||
                buffer == array_.rvzBuffers.end())
                return refused();
            return {pages::rvzBuffer(model, array_, buffer->second)};
        }
        case 0x24:
            if (!support_.rvzBuffers() || (array_.ucRvzPages & 0x02) == 0) return refused();
            return {pages::rvzUsage(array_)};
        case 0x35: return copyPriorityOffered(array_) ? PageReply{pages::copyPriority(model, array_)} : refused();
        case 0x31: {
            if (!support_.pagedDetail()) return refused();
            auto volume = array_.volumes.find(field);
            if (volume == array_.volumes.end()) return refused(kAscNoSuchLun);
            return {pages::oluStatus(model, array_, volume->second)};
        }
        case 0x33: if (auto list = oluStatusList(model, array_, field)) return {*list}; return refused();
        case 0x32:
            if (!support_.snapPlus()) return refused();
            return {pages::poolInfo(model, array_)};
        case 0x40:
            if (!setUp(support_, Group::Vz, Group::Rvz)) return refused();
            return {pages::perCommand(model, array_)};
        case 0x43:
            if (!support_.detailList() || !selectionFits(support_, byte3)) return refused();
            return {pages::detailList(model, array_, field, byte3, st_.ullClock)};
        case 0x44:
            if (!support_.pagedDetail()) return refused();
            return {pages::pagedDetail(model, array_, field, st_.ullClock)};
        case 0x45:
            if (!support_.snapPlus()) return refused();
            if (array_.volumes.count(field) == 0) return refused(kAscNoSuchLun);
            return {pages::generations(model, array_, field, allocation)};
        case 0x46:
            if (!support_.poolSize()) return refused();
            return {pages::poolSize(model, array_, field)};
        default: return refused();
        }
    }

private:
    SimState &st_;
    const Array &array_;
    Support support_;

    // Page 0x00: the support data (mode 1), or the reserve of an identifier
    // for a VZ-family (mode 2) or KZP-family (mode 4) session.
    PageReply supportOrReserve(std::uint8_t mode) {
        if (mode == 1) return {pages::support(array_)};
        Session s;
        if (mode == 2 && setUp(support_, Group::Vz, Group::Rvz)) {
            s.kind = SessionKind::Vz;
        } else if (mode == 4 && setUp(support_, Group::Kzp, Group::RemoteKzp)) {
            s.kind = SessionKind::Kzp;
        } else {
            return refused();
        }
        std::size_t held = sessionsOf(st_.model, array_.name).size();
        s.usId = freeSessionId(st_.model, array_.name);
        if (s.usId == 0 || held >= array_.maxSessions[1]) return refused(kAscInvalidField);
        s.srcArray = s.dstArray = array_.name;
        s.ucStatus = state::kReserve;
        s.ucPhase = phase::kNoPair;
        s.ullStart = st_.ullClock;
        st_.model.sessions.push_back(s);
        return {pages::reserved(s.usId)};
    }
};

}  // namespace

ScsiAnswer travoIn(SimState &state, const Array &array, const Volume & /*volume*/, const Bytes &cdb) {
    if (cdb.size() < 10) return refuse(kAscInvalidField);
    Support support(array.support);
    std::uint8_t byte1 = cdb[1];
    std::uint8_t page = cdb[2];
    bool large = (byte1 & kLargeForm) != 0;
    // The support data itself is read before the host knows whether this
    // array takes part in failover: either way is taken there.
    bool supportRead = page == 0x00 && (byte1 & 0x07) == 1;
    if ((byte1 & 0x90) != 0 || (byte1 & (kFailover | kSecondary)) == kSecondary) return refuse(kAscInvalidField);
    if (!supportRead && !failoverBitsFit(support, byte1)) return refuse(kAscInvalidField);
    std::size_t allocation = 0;
    if (page == 0x23 || page == 0x35) {
        // The buffer-identifier form: 0xEB on every family, 24-bit length.
        if (cdb[0] != travo::kIn || large != (page == 0x35)) return refuse(kAscInvalidField);
        allocation = getBe(cdb, 6, 3);
    } else {
        if (cdb[0] != (array.qm() ? travo::kInQm : travo::kIn)) return refuse(kAscInvalidField);
        if (large != (!array.qm() && support.expectsLargeIn(page, byte1 & 0x07))) return refuse(kAscInvalidField);
        if (large) {
            if (cdb[3] != 0) return refuse(kAscInvalidField);
            allocation = getBe(cdb, 6, 3);
        } else {
            if (cdb[6] != 0 || (cdb[3] != 0 && page != 0x43)) return refuse(kAscInvalidField);
            allocation = getBe(cdb, 7, 2);
        }
    }
    PageReply reply = PageReader(state, array)
                          .read(page, byte1 & 0x07, cdb[3], static_cast<std::uint16_t>(getBe(cdb, 4, 2)), allocation);
    if (reply.ucAsc != 0) return refuse(reply.ucAsc);
    pages::setHeader(reply.data, page, large || page == 0x23);
    state.corruptions.apply(array.name, page, reply.data);
    if (reply.data.size() > allocation) reply.data.resize(allocation);
    ScsiAnswer answer;
    answer.data = std::move(reply.data);
    return answer;
}

ScsiAnswer travoOut(SimState &state, const Array &array, const Bytes &cdb, const Bytes &list) {
    if (cdb.size() < 10) return refuse(kAscInvalidField);
    Support support(array.support);
    if (cdb[0] != (array.qm() ? travo::kOutQm : travo::kOut)) return refuse(kAscInvalidField);
    std::uint8_t byte1 = cdb[1];
    bool large = (byte1 & kLargeForm) != 0;
    if (large != (!array.qm() && support.anyLargeOut())) return refuse(kAscInvalidField);
    std::size_t length = 0;
    if (large) {
        if ((byte1 & ~(kLargeForm | kFailover | kSecondary)) != 0x01 || !failoverBitsFit(support, byte1) ||
            getBe(cdb, 2, 4) != 0)
            return refuse(kAscInvalidField);
        length = getBe(cdb, 6, 3);
    } else {
        if (byte1 != 0x01 || getBe(cdb, 2, 5) != 0) return refuse(kAscInvalidField);
        length = getBe(cdb, 7, 2);
    }
    if (length != list.size()) return refuse(kAscInvalidField);
    return actOnList(state, array, list);
}

}  // namespace zrksim
