// The runner of the large-volume pair functions (zrklvrun.h): the steps a row
// of a family's table goes through, for the session changes and the detail
// queries of both families.
#include "zrklvrun.h"
#include "zrkcmulti.h"
#include "zrktvc.h"

#include <cstring>

namespace zrk {

namespace {

// The request of the engine that serves the call: the identifier form, or
// the full pair.
void BuildRequests(const LvRow &row, const LvPair &pair, uint32_t optionFlag, LvRequests *r) {
    r->bById = (optionFlag & ZRK_OPT_SESSION_ID) != 0;
    if (r->bTvc) {
        if (r->bById) {
            MakeLvSessionRequest(pair.uiSrcOlu, row.bIntervalById, pair.uiCopyInterval, &r->tLv);
        } else {
            MakeLvRequest(pair, &r->tLv);
        }
        r->bRemote = r->tLv.RemoteFlag != 0;
    } else {
        if (r->bById) {
            MakeClassicSessionRequest(pair.uiSrcOlu, row.bIntervalById, pair.uiCopyInterval,
                                      &r->tClassic);
        } else {
            MakeClassicRequest(pair, &r->tClassic);
        }
        r->bRemote = r->tClassic.RemoteFlag != 0;
    }
}

// The locality tests of a built request; the identifier form has none.
int LocalityTests(const LvRow &row, const LvRequests &r, uint32_t optionFlag) {
    if (r.bById) return 0;
    if (row.bLocalOnly && r.bRemote) return FailWith(ZRK_ERR_NOT_SUPPORT);
    if (!r.bRemote && (optionFlag & row.uiRemoteOnly) != 0) return FailWith(ZRK_ERR_OPTION);
    return 0;
}

// The engine operation of a session change.
int EngineStep(const LvRow &row, const char *volume, uint32_t optionFlag, LvRequests &r) {
    if (r.bTvc) return row.pfnTvc(volume, row.ucEngineKind, optionFlag, &r.tLv);
    if (row.pfnClassic != nullptr) return row.pfnClassic(volume, optionFlag, &r.tClassic);
    return ClassicEngineUnavailable(row.pClassicName, volume, __LINE__);
}

// The detail of a session by identifier on the engine that serves the array;
// -2 when the page-based engine finds no such session.
int SessionDetail(const LvRow &row, const char *volume, uint32_t sessionId, bool useTvc,
                  TVC_DETAIL_INFO *detail) {
    if (!useTvc) {
        if (row.pfnClassicSession == nullptr)
            return ClassicEngineUnavailable(row.pClassicName, volume, __LINE__);
        return row.pfnClassicSession(volume, sessionId, detail);
    }
    unsigned char id[2];
    PutBe16(id, static_cast<uint16_t>(sessionId));
    return GetSessionDetailInfoForLV(volume, id, detail);
}

} // namespace

int PrepareLvPair(const LvRow &row, const char *volume, const LvPair &given, uint32_t optionFlag,
                  bool haveOutputs, LvRequests *requests) {
    LogLvPair(row.pName, volume, optionFlag, given);
    LvPair pair = given;
    if (row.bNoInterval) pair.uiCopyInterval = 0;

    int useTvc = 0;
    if (CheckLvPair(volume, pair, optionFlag, row.uiMask, &useTvc) != 0) return -1;
    if (row.bNoQm && ZRKstorageflg == 1) return FailWith(ZRK_ERR_NOT_SUPPORT);
    const bool local = !BoxIdsDiffer(pair.pSrcBoxID, pair.pDstBoxID);
    if (row.pfnRules != nullptr && row.pfnRules(optionFlag, local) != 0) return -1;
    if (!haveOutputs) return FailWith(ZRK_ERR_PARAMETER);

    *requests = LvRequests{};
    requests->bTvc = useTvc != 0 || row.pClassicName == nullptr;
    BuildRequests(row, pair, optionFlag, requests);
    return LocalityTests(row, *requests, optionFlag);
}

int RunControl(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
               unsigned char *senseData) {
    ApiCall call(row.pName, volume, senseData, __LINE__);
    LvRequests requests;
    if (PrepareLvPair(row, volume, pair, optionFlag, true, &requests) != 0) {
        return call.FailAt(__LINE__);
    }
    if (EngineStep(row, volume, optionFlag, requests) != 0) return call.FailAt(__LINE__);

    ReleaseDevice();
    if (row.bStart) WriteLog(2, nullptr, 0, "SessionID=<%d>", ZRKsessionid);
    return call.Done(__LINE__);
}

int QueryLvPair(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
                bool haveOutputs, TVC_DETAIL_INFO *detail) {
    LvRequests requests;
    if (PrepareLvPair(row, volume, pair, optionFlag, haveOutputs, &requests) != 0) return -1;
    std::memset(detail, 0, sizeof *detail);
    if (!requests.bTvc) {
        // Only the page-based queries take the failover conversion.
        if (row.pfnClassicQuery == nullptr)
            return ClassicEngineUnavailable(row.pClassicName, volume, __LINE__);
        return row.pfnClassicQuery(volume, optionFlag, &requests.tClassic, detail);
    }
    ConvertCheckflg = ZRK_CONVERT_MATCHING;
    return QueryTvc(volume, row.ucEngineKind, optionFlag, &requests.tLv, detail);
}

int RunDetailQuery(const LvRow &row, const char *volume, const LvPair &pair, uint32_t optionFlag,
                   unsigned char *detailArea, unsigned char *senseData) {
    ApiCall call(row.pName, volume, senseData, __LINE__);
    TVC_DETAIL_INFO detail{};
    if (QueryLvPair(row, volume, pair, optionFlag, detailArea != nullptr, &detail) != 0) {
        return call.FailAt(__LINE__);
    }
    FillDetailArea(detailArea, detail);
    return call.Done(__LINE__, 0, detailArea, kDetailAreaLen);
}

int RunSessionQuery(const LvRow &row, const char *volume, uint32_t sessionId,
                    uint32_t optionFlag, unsigned char *detailArea, unsigned char *senseData) {
    ApiCall call(row.pName, volume, senseData, __LINE__);
    LogOptionLine(row.pName, volume, optionFlag);
    WriteLog(8, nullptr, 0, "SessionID=<%u>", sessionId);

    // The function works by identifier inside, but takes no option bit.
    if (OptionCheck(optionFlag, 0) != 0) return call.RejectAt(__LINE__);
    const LvPair byId{nullptr, sessionId, 0, 0, 0, 0, nullptr, 0, 0, 0, 0};
    int useTvc = 0;
    if (CheckLvPair(volume, byId, ZRK_OPT_SESSION_ID, ZRK_OPT_SESSION_ID, &useTvc) != 0) {
        return call.FailAt(__LINE__);
    }
    if (row.bNoQm && ZRKstorageflg == 1) {
        FailWith(ZRK_ERR_NOT_SUPPORT);
        return call.FailAt(__LINE__);
    }
    if (detailArea == nullptr) {
        FailWith(ZRK_ERR_PARAMETER);
        return call.FailAt(__LINE__);
    }

    TVC_DETAIL_INFO detail{};
    const int found = SessionDetail(row, volume, sessionId, useTvc != 0, &detail);
    if (found == -2) {
        WriteLog(2, nullptr, 0, "%s No Such Session [%s] [%d]", row.pName, LogText(volume),
                 __LINE__);
        FailWith(ZRK_ERR_NO_SESSION);
        return call.FailAt(__LINE__);
    }
    if (found != 0) return call.FailAt(__LINE__);
    const bool vzSession = detail.ucCopyKind == ZRK_ENGINE_VZ;
    if (vzSession != (row.ucEngineKind == ZRK_ENGINE_VZ)) {
        FailWith(ZRK_ERR_NO_SESSION);
        return call.FailAt(__LINE__);
    }
    FillDetailArea(detailArea, detail);
    return call.Done(__LINE__, 0, detailArea, kDetailAreaLen);
}

} // namespace zrk
