// zrkcmessages.h - the messages of the command layer and of the programs, by
// name: one table of their numbers, return classes and texts. A result is set
// by naming its message (zrkcmessage.h); a program prints a text of the table
// by name. The texts are the lines as they are written out, "ZRKCnnnn
// SEVERITY text\n", printf formats where a line carries values; the
// arguments a name is given are checked against its text where it is named.
//
// The lines of the message catalogue (the file beside the library) are not
// here: CatalogueMsg names the numbers the command layer reads from it.
#pragma once

#include "zrkc.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <type_traits>

namespace zrkc {

// The messages, by name; the value is the number nnnn of "ZRKCnnnn".
enum class Msg : uint32_t {
    CommandParameterIncorrect = 100,
    RvzBufferMissing = 101,
    SnapPoolShort = 1000,
    OutputAreaShort = 1001,
    InvalidVolumeName = 1002,
    VolumeInOtherCopy = 1003,
    SessionLimit = 1004,
    OtherCopyStarted = 1005,
    TargetInOtherCopy = 1006,
    VolumeReserved = 1007,
    ParameterMissing = 1008,
    VolumeBusy = 1009,
    InvalidOption = 1010,
    InvalidParameter = 1011,
    TargetSizeMismatch = 1013,
    TargetOverlapsSource = 1014,
    PairAreaShort = 1015,
    GroupFormRefused = 1016,
    OptionUnfitForSession = 1017,
    SdvProtect = 1018,
    NotVzSession = 1019,
    VolumeSizeIncorrect = 1020,
    DefinedOverLan = 1021,
    DefinedOverScsi = 1022,
    UserInfoIncorrect = 1023,
    RvzBufferOperation = 1024,
    ConcRestore = 1025,
    ConcStart = 1026,
    InvalidSourceData = 1027,
    Migration = 1028,
    ConcParameter = 1029,
    PerCommandLimit = 1030,
    RestoreReadying = 1031,
    ConcReadying = 1032,
    ConcRestoring = 1033,
    AccessPathNotInPair = 1034,
    AccessPathNoRoute = 1035,
    NotForLan = 1036,
    NotForScsi = 1037,
    VzOtherMode = 1050,
    SessionMissing = 1100,
    InvalidSdv = 1102,
    SequenceError = 1104,
    NoMemory = 1106,
    AliasUndefined = 1107,
    PhysicalInfoIncorrect = 1108,
    ArrayUnrecognized = 1109,
    SourceAliasUndefined = 1110,
    ProtectRefused = 1111,
    Unexpected = 1200,
    InternalInconsistency = 1201,
    Unsupported = 1202,
    NotPermitted = 1203,
    ScsiError = 1204,
    NotVastrel = 1208,
    ArrayResourceShort = 1209,
    EcoModeOff = 1212,
    InvalidFileSystem = 1213,
    Preconditions = 1214,
    ModeChangeFailed = 1220,
    UnitInconsistency = 1222,
    CopyOperationIncorrect = 1223,
    CommunicationError = 1224,
    TrnxEnvironment = 1225,
    BvmEnvironment = 1226,
    LunInvalid = 1250,
    OperationUnsupported = 1252,
    TimedOut = 1300,
    Accepted = 1301,
    FileOpen = 1400,
    VelkFileName = 1401,
    VelkCombination = 1405,
    WaitTimeRefused = 1406,
    AliasStoreFull = 1410,
    AliasDefined = 1411,
    AliasIdMissing = 1412,
    ArrayUnregistered = 1600,
    AliasFileAccess = 1700,
    GroupFileMissing = 1801,
    GroupFileSyntax = 1802,
    GroupFileEmpty = 1803,
    GroupLinesFailed = 1804,
    GroupFileTooMany = 1805,
    SessionListMissing = 1831,
    SessionListSyntax = 1832,
    SessionListEmpty = 1833,
    SessionListLinesFailed = 1834,
    SessionListTooMany = 1835,
    ServiceRunning = 1901,
    ServiceStart = 1902,
    ServiceNotRunning = 1903,
    LanLogin = 1904,
    LanConnect = 1905,
    LanParameterValue = 2000,
    LanParameterRange = 2001,
    LanParameterCount = 2002,
    LanParameterShort = 2003,
    LanParameterCombination = 2004,
    LanParameterStatus = 2005,
    LanParameterInvalid = 2006,
    LanSizeInvalid = 2007,
    LanModelMismatch = 2008,
    LanInternal = 2009,
    LanExclusive = 2010,
    LanLimit = 2011,
    LanEncryptionMode = 2012,
    LanSlaveCm = 2013,
    LanNoMemory = 2014,
    LanNoTarget = 2015,
    LanRvzModel = 2016,
    LanRegistered = 2017,
    LanEncrypted = 2018,
    LanShutdown = 2019,
    LanQuickFormat = 2020,
    LanEncrypting = 2021,
    LanTarvelCopy = 2022,
    LanMigration = 2023,
    LanLde = 2024,
    LanRvzSession = 2025,
    LanFirmwareRegistering = 2026,
    LanRemoteMaintenance = 2027,
    LanCopyPhase = 2030,
    LanCopyPath = 2031,
    LanCommandInvalid = 2032,
    LanVolumeCount = 2033,
    LanVolumeType = 2034,
    LanSessionNotSettable = 2035,
    LanSourceData = 2036,
    LanCopyEncryption = 2037,
    LanResourceDomain = 2038,
    LanVolumeUnusable = 2039,
    LanSessionError = 2040,
    LanParameterError = 2041,
    LanTotallyTarget = 2042,
    LanMigrationConflict = 2044,
    LanSourceDuplicated = 2045,
    LanTargetDuplicated = 2046,
    LanCascadeRange = 2047,
    LanRestore = 2048,
    LanCascadeLinks = 2049,
    LanErrorSuspend = 2050,
    LanConsistencyCabinet = 2051,
    LanCannotProcess = 2052,
    LanRaidBlocked = 2053,
    LanTargetProtected = 2054,
    LanRvzBufferStatus = 2055,
    LanRvzBufferReverse = 2056,
    LanReversed = 2058,
    LanSessionCount = 2059,
    LanSourceSessions = 2060,
    LanTargetSessions = 2061,
    LanGenerations = 2062,
    LanMonitorSources = 2063,
    LanSessionSpec = 2064,
    LanCascadeTarget = 2065,
    LanReverseSetting = 2066,
    LanSdvFormatting = 2067,
    LanSdvTarget = 2068,
    LanCopyTableUnset = 2069,
    LanCopyTableSize = 2070,
    LanRvzBuffer = 2071,
    LanRvzBufferResume = 2072,
    LanRvzBufferInUse = 2073,
    LanRvzBufferReversed = 2074,
    LanCannotCopy = 2075,
    LanBoxId = 2076,
    LanRemoteDelete = 2077,
    LanCfl = 2078,
    LanCopyTableResolution = 2079,
    LanSdvInvalid = 2080,
    LanSnapSource = 2081,
    LanSnapTarget = 2082,
    LanRetry = 2083,
    LanFirmwareEvent = 2084,
    LanMigrationRefused = 2085,
    LanConcReadying = 2086,
    LanConcRestore = 2087,
    LanRestoreReadying = 2088,
    LanExtendedCopy = 2089,
    LanOtherCopy = 2090,
    LanConcRestoring = 2091,
    LanRvzUnsupported = 2092,
    LanResourceShort = 2093,
    LanSourceUnsupported = 2094,
    LanArrayError = 2095,
    RemoteVolume = 2096,
    RemoteParameter = 2097,
    RemoteRangeOverlap = 2098,
    RemoteStatus = 2099,
    RemoteSessionCount = 2100,
    RemoteTargetInUse = 2101,
    RemoteCopyTable = 2102,
    RemoteSdv = 2103,
    RemoteCopyPath = 2104,
    RemoteCommand = 2105,
    RemoteSessionSet = 2106,
    RemoteSessionDeleted = 2107,
    RemoteSuspended = 2108,
    RemoteActive = 2109,
    RemoteUnknownArray = 2111,
    RemoteDeletePath = 2112,
    RemoteFirmware = 2113,
    RemoteResolution = 2114,
    RemoteRetry = 2115,
    RemoteArrayStatus = 2116,
    LanBusy = 2117,
    LanControllerFailed = 2118,
    LanResumeChange = 2119,
    LanConnections = 2120,
    CascadeStatus = 3000,
    MultiArraySources = 3001,
    CascadeArrays = 3002,
    CascadeMode = 3003,
    OffloadSession = 3004,
    PriorityParameter = 3005,
    PriorityCombination = 3006,
    PriorityNoRvzPath = 3007,
    CascadeUsed = 3008,
    NasInUse = 3010,
};

// The message numbers whose lines the message catalogue holds (see
// SetCatalogueResult).
enum class CatalogueMsg : uint32_t {
    GroupArraysDiffer = 1215, // the pairs of a group file are not all on one source and one target array
    ClusterAccessPath = 1216, // a volume in a storage cluster named as the access path
    ClusterVolume = 1217,     // an operation on a volume in a storage cluster
};

struct MessageRow {
    Msg eName;          // the message, its number the name's value
    int32_t iClass;     // its return class (ZRKC_CLASS_...)
    const char *pText;  // its line, "ZRKCnnnn SEVERITY text\n", a printf format
};

// One row per message, in rising order of number.
inline constexpr MessageRow kMessageRows[] = {
    {Msg::CommandParameterIncorrect, ZRKC_CLASS_PARAMETER, "ZRKC0100 ERROR Specified command parameter is incorrect. Parameter=(%.*s).\n"},
    {Msg::RvzBufferMissing, ZRKC_CLASS_PARAMETER, "ZRKC0101 ERROR RVZ buffer identifier does not exist.\n"},
    {Msg::SnapPoolShort, ZRKC_CLASS_BUSY, "ZRKC1000 ERROR Insufficient Snap Data Pool. Required capacity=(%llu[KB]).\n"},
    {Msg::OutputAreaShort, ZRKC_CLASS_PARAMETER, "ZRKC1001 WARNING Insufficient output area.\n"},
    {Msg::InvalidVolumeName, ZRKC_CLASS_PARAMETER, "ZRKC1002 ERROR Invalid logical volume name. Volume name=(%.*s).\n"},
    {Msg::VolumeInOtherCopy, ZRKC_CLASS_BUSY, "ZRKC1003 ERROR Logical volume is already defined in another copy operation.\n"},
    {Msg::SessionLimit, ZRKC_CLASS_BUSY, "ZRKC1004 ERROR Maximum session reached.\n"},
    {Msg::OtherCopyStarted, ZRKC_CLASS_BUSY, "ZRKC1005 ERROR Another copy has already started.\n"},
    {Msg::TargetInOtherCopy, ZRKC_CLASS_BUSY, "ZRKC1006 ERROR Target volume is already defined in another copy operation.\n"},
    {Msg::VolumeReserved, ZRKC_CLASS_BUSY, "ZRKC1007 ERROR Logical volume is already reserved.\n"},
    {Msg::ParameterMissing, ZRKC_CLASS_PARAMETER, "ZRKC1008 ERROR Parameter is not specified.\n"},
    {Msg::VolumeBusy, ZRKC_CLASS_BUSY, "ZRKC1009 ERROR Logical volume is busy.\n"},
    {Msg::InvalidOption, ZRKC_CLASS_PARAMETER, "ZRKC1010 ERROR Specified option is invalid.\n"},
    {Msg::InvalidParameter, ZRKC_CLASS_PARAMETER, "ZRKC1011 ERROR Invalid parameter. Parameter=(%s).\n"},
    {Msg::TargetSizeMismatch, ZRKC_CLASS_PARAMETER, "ZRKC1013 ERROR Target volume size mismatch.\n"},
    {Msg::TargetOverlapsSource, ZRKC_CLASS_PARAMETER, "ZRKC1014 ERROR Target volume overlap source volume.\n"},
    {Msg::PairAreaShort, ZRKC_CLASS_PARAMETER, "ZRKC1015 WARNING Expand_error_information_area is insufficient.\n"},
    {Msg::GroupFormRefused, ZRKC_CLASS_PARAMETER, "ZRKC1016 ERROR The group file of the form not permitted was specified.\n"},
    {Msg::OptionUnfitForSession, ZRKC_CLASS_STATE, "ZRKC1017 ERROR The option that cannot be used for copy session is specified.\n"},
    {Msg::SdvProtect, ZRKC_CLASS_PARAMETER, "ZRKC1018 ERROR The copy protection cannot be set to Snap Data Volume.\n"},
    {Msg::NotVzSession, ZRKC_CLASS_PARAMETER, "ZRKC1019 ERROR The copy session other than VZ or RVZ was specified.\n"},
    {Msg::VolumeSizeIncorrect, ZRKC_CLASS_PARAMETER, "ZRKC1020 ERROR Logical volume size is incorrect.\n"},
    {Msg::DefinedOverLan, ZRKC_CLASS_PARAMETER, "ZRKC1021 ERROR This VASTREL is already defined in LAN interface.\n"},
    {Msg::DefinedOverScsi, ZRKC_CLASS_PARAMETER, "ZRKC1022 ERROR This VASTREL is already defined in SCSI interface.\n"},
    {Msg::UserInfoIncorrect, ZRKC_CLASS_PARAMETER, "ZRKC1023 ERROR The specification of user information is incorrect.\n"},
    {Msg::RvzBufferOperation, ZRKC_CLASS_PARAMETER, "ZRKC1024 ERROR An error occurred during RVZ Buffer operation.\n"},
    {Msg::ConcRestore, ZRKC_CLASS_PARAMETER, "ZRKC1025 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {Msg::ConcStart, ZRKC_CLASS_STATE, "ZRKC1026 ERROR Unable to start the Concurrent KZP function.\n"},
    {Msg::InvalidSourceData, ZRKC_CLASS_BUSY, "ZRKC1027 ERROR The copy source logical volume contains invalid data.\n"},
    {Msg::Migration, ZRKC_CLASS_BUSY, "ZRKC1028 ERROR RAID Migration is currently being performed.\n"},
    {Msg::ConcParameter, ZRKC_CLASS_PARAMETER, "ZRKC1029 ERROR Unable to start the Concurrent KZP function because of invalid parameter.\n"},
    {Msg::PerCommandLimit, ZRKC_CLASS_BUSY, "ZRKC1030 ERROR The number of specified copy sessions exceeds the maximum.\n"},
    {Msg::RestoreReadying, ZRKC_CLASS_BUSY, "ZRKC1031 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {Msg::ConcReadying, ZRKC_CLASS_BUSY, "ZRKC1032 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {Msg::ConcRestoring, ZRKC_CLASS_BUSY, "ZRKC1033 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {Msg::AccessPathNotInPair, ZRKC_CLASS_PARAMETER, "ZRKC1034 ERROR The set Alias name for the option to specify the target to which the copy request is issued is not the copy source or is not the copy target.\n"},
    {Msg::AccessPathNoRoute, ZRKC_CLASS_STATE, "ZRKC1035 ERROR The set Alias name for the option to specify the target to which the copy request is issued exists, but access path information does not exist.\n"},
    {Msg::NotForLan, ZRKC_CLASS_ARRAY, "ZRKC1036 ERROR This command cannot be executed for LAN interfaces.\n"},
    {Msg::NotForScsi, ZRKC_CLASS_ARRAY, "ZRKC1037 ERROR This command cannot be executed for SCSI interfaces.\n"},
    {Msg::VzOtherMode, ZRKC_CLASS_BUSY, "ZRKC1050 ERROR VZ copy has already started in another mode.\n"},
    {Msg::SessionMissing, ZRKC_CLASS_STATE, "ZRKC1100 ERROR Session does not exist.\n"},
    {Msg::InvalidSdv, ZRKC_CLASS_PARAMETER, "ZRKC1102 ERROR Invalid Snap Data Volume.\n"},
    {Msg::SequenceError, ZRKC_CLASS_STATE, "ZRKC1104 ERROR Operation sequence error.\n"},
    {Msg::NoMemory, ZRKC_CLASS_MEMORY, "ZRKC1106 ERROR Insufficient memory.\n"},
    {Msg::AliasUndefined, ZRKC_CLASS_STATE, "ZRKC1107 ERROR Alias is not defined.\n"},
    {Msg::PhysicalInfoIncorrect, ZRKC_CLASS_PARAMETER, "ZRKC1108 ERROR The specification of physical information is incorrect.\n"},
    {Msg::ArrayUnrecognized, ZRKC_CLASS_ARRAY, "ZRKC1109 ERROR VASTREL cannot be recognized.\n"},
    {Msg::SourceAliasUndefined, ZRKC_CLASS_STATE, "ZRKC1110 ERROR Alias specified for the copy source is not defined.\n"},
    {Msg::ProtectRefused, ZRKC_CLASS_STATE, "ZRKC1111 ERROR Logical volume state is not able to be set to the copy protection.\n"},
    {Msg::Unexpected, ZRKC_CLASS_INTERNAL, "ZRKC1200 ERROR Unexpected error.\n"},
    {Msg::InternalInconsistency, ZRKC_CLASS_INTERNAL, "ZRKC1201 ERROR Internal inconsistency.\n"},
    {Msg::Unsupported, ZRKC_CLASS_ARRAY, "ZRKC1202 ERROR Unsupported function.\n"},
    {Msg::NotPermitted, ZRKC_CLASS_STATE, "ZRKC1203 ERROR The operation is not permitted.\n"},
    {Msg::ScsiError, ZRKC_CLASS_SCSI, "ZRKC1204 ERROR SCSI error detected. Error=(%s).\n"},
    {Msg::NotVastrel, ZRKC_CLASS_ARRAY, "ZRKC1208 ERROR Specified logical volume is not VASTREL.\n"},
    {Msg::ArrayResourceShort, ZRKC_CLASS_ARRAY, "ZRKC1209 ERROR Insufficient resource in VASTREL.\n"},
    {Msg::EcoModeOff, ZRKC_CLASS_SCSI, "ZRKC1212 ERROR Disk drive off by the ECO mode.\n"},
    {Msg::InvalidFileSystem, ZRKC_CLASS_PARAMETER, "ZRKC1213 ERROR Invalid file system.\n"},
    {Msg::Preconditions, ZRKC_CLASS_STATE, "ZRKC1214 ERROR Preconditions for copy operation are not satisfied.\n"},
    {Msg::ModeChangeFailed, ZRKC_CLASS_COMMUNICATION, "ZRKC1220 ERROR Change mode operation failed because of communication error. Cause=(%s).\n"},
    {Msg::UnitInconsistency, ZRKC_CLASS_ARRAY, "ZRKC1222 ERROR VASTREL unit inconsistency.\n"},
    {Msg::CopyOperationIncorrect, ZRKC_CLASS_ARRAY, "ZRKC1223 ERROR The copy operation with VASTREL is incorrect.\n"},
    {Msg::CommunicationError, ZRKC_CLASS_COMMUNICATION, "ZRKC1224 ERROR Communication error occurred.\n"},
    {Msg::TrnxEnvironment, ZRKC_CLASS_SCSI, "ZRKC1225 ERROR TRNX environment is incorrect.\n"},
    {Msg::BvmEnvironment, ZRKC_CLASS_SCSI, "ZRKC1226 ERROR BVM environment is incorrect.\n"},
    {Msg::LunInvalid, ZRKC_CLASS_INTERNAL, "ZRKC1250 ERROR Specified LUN_V Number is invalid.\n"},
    {Msg::OperationUnsupported, ZRKC_CLASS_INTERNAL, "ZRKC1252 ERROR Operation is not supported.\n"},
    {Msg::TimedOut, ZRKC_CLASS_TIMEOUT, "ZRKC1300 ERROR Time out detected.\n"},
    {Msg::Accepted, ZRKC_CLASS_TIMEOUT, "ZRKC1301 WARNING The operation was accepted.\n"},
    {Msg::FileOpen, ZRKC_CLASS_GROUP_FILE, "ZRKC1400 ERROR File open error. File name=(%s). Cause=(%d).\n"},
    {Msg::VelkFileName, ZRKC_CLASS_ALIAS, "ZRKC1401 ERROR The file name of VELK can not be acquired. Cause=(%d).\n"},
    {Msg::VelkCombination, ZRKC_CLASS_PROPERTIES, "ZRKC1405 ERROR The combination of VELK parameters is incorrect.\n"},
    {Msg::WaitTimeRefused, ZRKC_CLASS_PARAMETER, "ZRKC1406 ERROR Waiting time cannot be set.\n"},
    {Msg::AliasStoreFull, ZRKC_CLASS_ALIAS, "ZRKC1410 ERROR Alias number reached the maximum.\n"},
    {Msg::AliasDefined, ZRKC_CLASS_PARAMETER, "ZRKC1411 ERROR Alias is already defined.\n"},
    {Msg::AliasIdMissing, ZRKC_CLASS_PARAMETER, "ZRKC1412 ERROR Alias identifier does not exist.\n"},
    {Msg::ArrayUnregistered, ZRKC_CLASS_UNREGISTERED, "ZRKC1600 ERROR VASTREL is not registered on VASTREL management file.\n"},
    {Msg::AliasFileAccess, ZRKC_CLASS_ALIAS, "ZRKC1700 ERROR Alias management file access error. Cause=(%d).\n"},
    {Msg::GroupFileMissing, ZRKC_CLASS_GROUP_FILE, "ZRKC1801 ERROR Group_file does not exist.\n"},
    {Msg::GroupFileSyntax, ZRKC_CLASS_GROUP_FILE, "ZRKC1802 ERROR Syntax error was detected in Group File.line=(%u).\n"},
    {Msg::GroupFileEmpty, ZRKC_CLASS_GROUP_FILE, "ZRKC1803 ERROR There is no volume name in Copy Group File.\n"},
    {Msg::GroupLinesFailed, ZRKC_CLASS_GROUP_LINES, "ZRKC1804 ERROR Error occurred with copy operation described in group file.\n"},
    {Msg::GroupFileTooMany, ZRKC_CLASS_GROUP_FILE, "ZRKC1805 ERROR The number of the copy pairs or logical volumes described in the group file exceeds the maximum number.\n"},
    {Msg::SessionListMissing, ZRKC_CLASS_ARRAY, "ZRKC1831 ERROR File does not exist.\n"},
    {Msg::SessionListSyntax, ZRKC_CLASS_ARRAY, "ZRKC1832 ERROR Syntax error was detected in file.line=(%d).\n"},
    {Msg::SessionListEmpty, ZRKC_CLASS_ARRAY, "ZRKC1833 ERROR There is no data in file.\n"},
    {Msg::SessionListLinesFailed, ZRKC_CLASS_SESSION_LIST, "ZRKC1834 ERROR Error occurred with copy operation described in session list file.\n"},
    {Msg::SessionListTooMany, ZRKC_CLASS_ARRAY, "ZRKC1835 ERROR The number of the session ids described in the session list file exceeds the maximum number.\n"},
    {Msg::ServiceRunning, ZRKC_CLASS_LAN_SERVICE, "ZRKC1901 INFO The LAN interface management service is already running.\n"},
    {Msg::ServiceStart, ZRKC_CLASS_LAN_SERVICE, "ZRKC1902 ERROR Failed to start the LAN interface management service.\n"},
    {Msg::ServiceNotRunning, ZRKC_CLASS_LAN_SERVICE, "ZRKC1903 ERROR The LAN interface management service is not running.\n"},
    {Msg::LanLogin, ZRKC_CLASS_LAN_SERVICE, "ZRKC1904 ERROR Failed to log in to the VASTREL Disk storage system.\n"},
    {Msg::LanConnect, ZRKC_CLASS_LAN_SERVICE, "ZRKC1905 ERROR Unable to connect to the VASTREL Disk storage system.\n"},
    {Msg::LanParameterValue, ZRKC_CLASS_PARAMETER, "ZRKC2000 ERROR The parameter value is not correct.\n"},
    {Msg::LanParameterRange, ZRKC_CLASS_PARAMETER, "ZRKC2001 ERROR The values of the parameter exceed the range allowed.\n"},
    {Msg::LanParameterCount, ZRKC_CLASS_PARAMETER, "ZRKC2002 ERROR The parameter specifications exceed the number of specifications allowed.\n"},
    {Msg::LanParameterShort, ZRKC_CLASS_PARAMETER, "ZRKC2003 ERROR The parameter specifications are insufficient.\n"},
    {Msg::LanParameterCombination, ZRKC_CLASS_PARAMETER, "ZRKC2004 ERROR The combination of parameters is not correct.\n"},
    {Msg::LanParameterStatus, ZRKC_CLASS_BUSY, "ZRKC2005 ERROR The specified status for the parameter is invalid.\n"},
    {Msg::LanParameterInvalid, ZRKC_CLASS_PARAMETER, "ZRKC2006 ERROR The specified parameter is invalid.\n"},
    {Msg::LanSizeInvalid, ZRKC_CLASS_PARAMETER, "ZRKC2007 ERROR The specified size is invalid.\n"},
    {Msg::LanModelMismatch, ZRKC_CLASS_ARRAY, "ZRKC2008 ERROR The specified parameter does not match the model type of the VASTREL Disk storage system.\n"},
    {Msg::LanInternal, ZRKC_CLASS_INTERNAL, "ZRKC2009 ERROR An internal error occurred.\n"},
    {Msg::LanExclusive, ZRKC_CLASS_STATE, "ZRKC2010 ERROR Another session has exclusive rights.\n"},
    {Msg::LanLimit, ZRKC_CLASS_BUSY, "ZRKC2011 ERROR The specified capacity or number has reached the limit.\n"},
    {Msg::LanEncryptionMode, ZRKC_CLASS_ARRAY, "ZRKC2012 ERROR The specified parameter cannot be used for the encryption mode.\n"},
    {Msg::LanSlaveCm, ZRKC_CLASS_ARRAY, "ZRKC2013 ERROR Cannot be used because of the Slave CM.\n"},
    {Msg::LanNoMemory, ZRKC_CLASS_MEMORY, "ZRKC2014 ERROR Insufficient memory.\n"},
    {Msg::LanNoTarget, ZRKC_CLASS_STATE, "ZRKC2015 ERROR The specified target does not exist.\n"},
    {Msg::LanRvzModel, ZRKC_CLASS_ARRAY, "ZRKC2016 ERROR Unsupported model is selected as the RVZ target.\n"},
    {Msg::LanRegistered, ZRKC_CLASS_ARRAY, "ZRKC2017 ERROR The specified value has already been registered.\n"},
    {Msg::LanEncrypted, ZRKC_CLASS_ARRAY, "ZRKC2018 ERROR Encrypted volumes exist.\n"},
    {Msg::LanShutdown, ZRKC_CLASS_ARRAY, "ZRKC2019 ERROR Shutdown or startup is currently being performed.\n"},
    {Msg::LanQuickFormat, ZRKC_CLASS_BUSY, "ZRKC2020 ERROR A Quick Format is currently being performed.\n"},
    {Msg::LanEncrypting, ZRKC_CLASS_BUSY, "ZRKC2021 ERROR Encryption or decryption is currently being performed.\n"},
    {Msg::LanTarvelCopy, ZRKC_CLASS_BUSY, "ZRKC2022 ERROR An Tarvel Copy is currently being performed.\n"},
    {Msg::LanMigration, ZRKC_CLASS_BUSY, "ZRKC2023 ERROR RAID Migration is currently being performed.\n"},
    {Msg::LanLde, ZRKC_CLASS_BUSY, "ZRKC2024 ERROR LDE is currently being performed.\n"},
    {Msg::LanRvzSession, ZRKC_CLASS_STATE, "ZRKC2025 ERROR A RVZ session exists.\n"},
    {Msg::LanFirmwareRegistering, ZRKC_CLASS_ARRAY, "ZRKC2026 ERROR Controller firmware is currently being registered.\n"},
    {Msg::LanRemoteMaintenance, ZRKC_CLASS_ARRAY, "ZRKC2027 ERROR Remote maintenance is currently being performed.\n"},
    {Msg::LanCopyPhase, ZRKC_CLASS_BUSY, "ZRKC2030 ERROR The current copy phase is not correct.\n"},
    {Msg::LanCopyPath, ZRKC_CLASS_COMMUNICATION, "ZRKC2031 ERROR A copy path error occurred.\n"},
    {Msg::LanCommandInvalid, ZRKC_CLASS_BUSY, "ZRKC2032 ERROR The command is invalid.\n"},
    {Msg::LanVolumeCount, ZRKC_CLASS_BUSY, "ZRKC2033 ERROR The number of logical volumes exceeds the maximum.\n"},
    {Msg::LanVolumeType, ZRKC_CLASS_BUSY, "ZRKC2034 ERROR The logical volume type is invalid.\n"},
    {Msg::LanSessionNotSettable, ZRKC_CLASS_BUSY, "ZRKC2035 ERROR The copy session cannot be set for the logical volume.\n"},
    {Msg::LanSourceData, ZRKC_CLASS_BUSY, "ZRKC2036 ERROR The copy source logical volume contains invalid data.\n"},
    {Msg::LanCopyEncryption, ZRKC_CLASS_BUSY, "ZRKC2037 ERROR A copy encryption error occurred.\n"},
    {Msg::LanResourceDomain, ZRKC_CLASS_BUSY, "ZRKC2038 ERROR The resource domain numbers are invalid.\n"},
    {Msg::LanVolumeUnusable, ZRKC_CLASS_ARRAY, "ZRKC2039 ERROR The specified logical volume cannot be used.\n"},
    {Msg::LanSessionError, ZRKC_CLASS_SCSI, "ZRKC2040 ERROR The copy session is in error status.\n"},
    {Msg::LanParameterError, ZRKC_CLASS_PARAMETER, "ZRKC2041 ERROR Parameter error.\n"},
    {Msg::LanTotallyTarget, ZRKC_CLASS_PARAMETER, "ZRKC2042 ERROR The destination logical volume of the Totally copy is invalid.\n"},
    {Msg::LanMigrationConflict, ZRKC_CLASS_BUSY, "ZRKC2044 ERROR The copy session conflicts with an existing RAID migration session.\n"},
    {Msg::LanSourceDuplicated, ZRKC_CLASS_BUSY, "ZRKC2045 ERROR The copy source logical volume is being duplicated.\n"},
    {Msg::LanTargetDuplicated, ZRKC_CLASS_BUSY, "ZRKC2046 ERROR The copy destination logical volume is being duplicated.\n"},
    {Msg::LanCascadeRange, ZRKC_CLASS_PARAMETER, "ZRKC2047 ERROR The range of the cascade copy is invalid.\n"},
    {Msg::LanRestore, ZRKC_CLASS_BUSY, "ZRKC2048 ERROR Unable to restore the copy session.\n"},
    {Msg::LanCascadeLinks, ZRKC_CLASS_BUSY, "ZRKC2049 ERROR The number of linkages in the cascade copy exceeds the maximum.\n"},
    {Msg::LanErrorSuspend, ZRKC_CLASS_BUSY, "ZRKC2050 ERROR The copy session is in ErrorSuspend status.\n"},
    {Msg::LanConsistencyCabinet, ZRKC_CLASS_BUSY, "ZRKC2051 ERROR Multiple copy sessions in RVZ Consistency mode are operated in a single cabinet.\n"},
    {Msg::LanCannotProcess, ZRKC_CLASS_PARAMETER, "ZRKC2052 ERROR Unable to process the specified operation.\n"},
    {Msg::LanRaidBlocked, ZRKC_CLASS_BUSY, "ZRKC2053 ERROR The RAID group is blocked.\n"},
    {Msg::LanTargetProtected, ZRKC_CLASS_BUSY, "ZRKC2054 ERROR The copy destination logical volume is protected.\n"},
    {Msg::LanRvzBufferStatus, ZRKC_CLASS_BUSY, "ZRKC2055 ERROR The status of the RVZ Buffer is incorrect.\n"},
    {Msg::LanRvzBufferReverse, ZRKC_CLASS_BUSY, "ZRKC2056 ERROR The untransferred RVZ Buffer stops the copy session reversing.\n"},
    {Msg::LanReversed, ZRKC_CLASS_BUSY, "ZRKC2058 ERROR The copy session has already been reversed.\n"},
    {Msg::LanSessionCount, ZRKC_CLASS_BUSY, "ZRKC2059 ERROR The number of copy sessions exceeds the maximum.\n"},
    {Msg::LanSourceSessions, ZRKC_CLASS_BUSY, "ZRKC2060 ERROR The copy sessions for a single copy source logical volume exceed the maximum.\n"},
    {Msg::LanTargetSessions, ZRKC_CLASS_BUSY, "ZRKC2061 ERROR The copy sessions for a single copy destination logical volume exceed the maximum.\n"},
    {Msg::LanGenerations, ZRKC_CLASS_BUSY, "ZRKC2062 ERROR The number of SnapKZP+ generations exceeds the maximum.\n"},
    {Msg::LanMonitorSources, ZRKC_CLASS_BUSY, "ZRKC2063 ERROR The copy source logical volumes for multiple monitor sessions are duplicated.\n"},
    {Msg::LanSessionSpec, ZRKC_CLASS_PARAMETER, "ZRKC2064 ERROR The new session and an existing session are not specified correctly.\n"},
    {Msg::LanCascadeTarget, ZRKC_CLASS_BUSY, "ZRKC2065 ERROR The copy destination and cascade copy destination are duplicated.\n"},
    {Msg::LanReverseSetting, ZRKC_CLASS_BUSY, "ZRKC2066 ERROR An incorrect setting is specified to reverse the copy direction.\n"},
    {Msg::LanSdvFormatting, ZRKC_CLASS_BUSY, "ZRKC2067 ERROR The SDV is currently being formatted.\n"},
    {Msg::LanSdvTarget, ZRKC_CLASS_BUSY, "ZRKC2068 ERROR A session with an SDV as the copy destination already exists.\n"},
    {Msg::LanCopyTableUnset, ZRKC_CLASS_ARRAY, "ZRKC2069 ERROR A copy table is not set.\n"},
    {Msg::LanCopyTableSize, ZRKC_CLASS_ARRAY, "ZRKC2070 ERROR The copy table size is insufficient.\n"},
    {Msg::LanRvzBuffer, ZRKC_CLASS_BUSY, "ZRKC2071 ERROR RVZ Buffer error.\n"},
    {Msg::LanRvzBufferResume, ZRKC_CLASS_PARAMETER, "ZRKC2072 ERROR RVZ Buffer is invalid after the copy resumes.\n"},
    {Msg::LanRvzBufferInUse, ZRKC_CLASS_BUSY, "ZRKC2073 ERROR The RVZ Buffer is currently being used.\n"},
    {Msg::LanRvzBufferReversed, ZRKC_CLASS_ARRAY, "ZRKC2074 ERROR RVZ Buffer is invalid after the copy session is reversed.\n"},
    {Msg::LanCannotCopy, ZRKC_CLASS_ARRAY, "ZRKC2075 ERROR Unable to copy the specified logical volume.\n"},
    {Msg::LanBoxId, ZRKC_CLASS_ARRAY, "ZRKC2076 ERROR Unable to find the specified BoxID information.\n"},
    {Msg::LanRemoteDelete, ZRKC_CLASS_ARRAY, "ZRKC2077 ERROR Unable to delete the session in the remote VASTREL Disk storage system.\n"},
    {Msg::LanCfl, ZRKC_CLASS_BUSY, "ZRKC2078 ERROR A CFL is currently being performed.\n"},
    {Msg::LanCopyTableResolution, ZRKC_CLASS_PARAMETER, "ZRKC2079 ERROR The resolution of the copy table is invalid.\n"},
    {Msg::LanSdvInvalid, ZRKC_CLASS_PARAMETER, "ZRKC2080 ERROR The specified SDV is invalid.\n"},
    {Msg::LanSnapSource, ZRKC_CLASS_PARAMETER, "ZRKC2081 ERROR An SDV is specified for the copy source of the SnapKZP+.\n"},
    {Msg::LanSnapTarget, ZRKC_CLASS_PARAMETER, "ZRKC2082 ERROR A logical volume is specified for the copy destination of the SnapKZP+.\n"},
    {Msg::LanRetry, ZRKC_CLASS_BUSY, "ZRKC2083 ERROR Retry required.\n"},
    {Msg::LanFirmwareEvent, ZRKC_CLASS_ARRAY, "ZRKC2084 ERROR The status is invalid or an abnormal firmware event occurred.\n"},
    {Msg::LanMigrationRefused, ZRKC_CLASS_BUSY, "ZRKC2085 ERROR Unable to perform RAID migration.\n"},
    {Msg::LanConcReadying, ZRKC_CLASS_BUSY, "ZRKC2086 ERROR Unable to start the Concurrent KZP function because the phase of the latest SnapKZP+ session is readying.\n"},
    {Msg::LanConcRestore, ZRKC_CLASS_BUSY, "ZRKC2087 ERROR Unable to restore the copy session because the Concurrent KZP function is being used.\n"},
    {Msg::LanRestoreReadying, ZRKC_CLASS_BUSY, "ZRKC2088 ERROR Failed to restore the copy session because the phase of the target session is readying.\n"},
    {Msg::LanExtendedCopy, ZRKC_CLASS_BUSY, "ZRKC2089 ERROR The specified volume is being used by Extended Copy.\n"},
    {Msg::LanOtherCopy, ZRKC_CLASS_BUSY, "ZRKC2090 ERROR Failed to start the copy session because another copy session has already started.\n"},
    {Msg::LanConcRestoring, ZRKC_CLASS_BUSY, "ZRKC2091 ERROR Unable to start the Concurrent KZP function because a restoration copy session exists.\n"},
    {Msg::LanRvzUnsupported, ZRKC_CLASS_ARRAY, "ZRKC2092 ERROR The storage system does not support the RVZ function with a LAN interface.\n"},
    {Msg::LanResourceShort, ZRKC_CLASS_ARRAY, "ZRKC2093 ERROR Insufficient resource in VASTREL.\n"},
    {Msg::LanSourceUnsupported, ZRKC_CLASS_ARRAY, "ZRKC2094 ERROR The copy source storage system does not support this copy function.\n"},
    {Msg::LanArrayError, ZRKC_CLASS_LAN_ARRAY, "ZRKC2095 ERROR An error is detected for the operation that was performed via the LAN. Error=0x%08x.\n"},
    {Msg::RemoteVolume, ZRKC_CLASS_PARAMETER, "ZRKC2096 ERROR The specified volume in the remote storage system is invalid.\n"},
    {Msg::RemoteParameter, ZRKC_CLASS_PARAMETER, "ZRKC2097 ERROR A parameter error occurred in the remote storage system.\n"},
    {Msg::RemoteRangeOverlap, ZRKC_CLASS_PARAMETER, "ZRKC2098 ERROR The specified copy range for the remote storage system overlaps with the copy range for an existing session.\n"},
    {Msg::RemoteStatus, ZRKC_CLASS_PARAMETER, "ZRKC2099 ERROR The status of a session or a volume in the remote storage system is error.\n"},
    {Msg::RemoteSessionCount, ZRKC_CLASS_BUSY, "ZRKC2100 ERROR The number of copy sessions exceeds the maximum number of copy sessions in the remote storage system.\n"},
    {Msg::RemoteTargetInUse, ZRKC_CLASS_BUSY, "ZRKC2101 ERROR The target volume for the remote storage system is already defined in another copy operation.\n"},
    {Msg::RemoteCopyTable, ZRKC_CLASS_ARRAY, "ZRKC2102 ERROR A copy table or RVZ Buffer status error occurred in the remote storage system.\n"},
    {Msg::RemoteSdv, ZRKC_CLASS_PARAMETER, "ZRKC2103 ERROR The specified copy volume in the remote storage system is a Snap Data Volume.\n"},
    {Msg::RemoteCopyPath, ZRKC_CLASS_ARRAY, "ZRKC2104 ERROR An error occurred for the copy path connection in the remote storage system.\n"},
    {Msg::RemoteCommand, ZRKC_CLASS_ARRAY, "ZRKC2105 ERROR An unsupported command was issued to the remote storage system.\n"},
    {Msg::RemoteSessionSet, ZRKC_CLASS_STATE, "ZRKC2106 ERROR The copy session has already been set in the remote storage system.\n"},
    {Msg::RemoteSessionDeleted, ZRKC_CLASS_STATE, "ZRKC2107 ERROR The copy session has been already deleted in the remote storage system.\n"},
    {Msg::RemoteSuspended, ZRKC_CLASS_STATE, "ZRKC2108 ERROR The copy session is already in Suspend status in the remote storage system.\n"},
    {Msg::RemoteActive, ZRKC_CLASS_STATE, "ZRKC2109 ERROR The copy session is already in Active status in the remote storage system.\n"},
    {Msg::RemoteUnknownArray, ZRKC_CLASS_PARAMETER, "ZRKC2111 ERROR The specified storage system information cannot be found in the remote storage configuration.\n"},
    {Msg::RemoteDeletePath, ZRKC_CLASS_ARRAY, "ZRKC2112 ERROR A copy path error was detected for the deletion process. The specified copy sessions might still exist in the remote storage system.\n"},
    {Msg::RemoteFirmware, ZRKC_CLASS_ARRAY, "ZRKC2113 ERROR A firmware update is in progress in the remote storage system. The specified operation cannot be performed.\n"},
    {Msg::RemoteResolution, ZRKC_CLASS_ARRAY, "ZRKC2114 ERROR The copy resolution settings of the local and remote storage systems are different.\n"},
    {Msg::RemoteRetry, ZRKC_CLASS_BUSY, "ZRKC2115 ERROR A retry operation is required in the remote storage system.\n"},
    {Msg::RemoteArrayStatus, ZRKC_CLASS_ARRAY, "ZRKC2116 ERROR The status of the remote storage system is invalid.\n"},
    {Msg::LanBusy, ZRKC_CLASS_BUSY, "ZRKC2117 ERROR The resource is currently busy. Wait a while, and then try again.\n"},
    {Msg::LanControllerFailed, ZRKC_CLASS_ARRAY, "ZRKC2118 ERROR The Controller Module failed.\n"},
    {Msg::LanResumeChange, ZRKC_CLASS_BUSY, "ZRKC2119 ERROR Failed to resume the copy session because of the change error.\n"},
    {Msg::LanConnections, ZRKC_CLASS_ARRAY, "ZRKC2120 ERROR The number of connections has reached the maximum number allowed.\n"},
    {Msg::CascadeStatus, ZRKC_CLASS_PARAMETER, "ZRKC3000 ERROR The status of the cascade copy session is incorrect.\n"},
    {Msg::MultiArraySources, ZRKC_CLASS_PARAMETER, "ZRKC3001 ERROR The copy logical source volumes are made by multiple VASTREL Disk storage systems.\n"},
    {Msg::CascadeArrays, ZRKC_CLASS_PARAMETER, "ZRKC3002 ERROR The source volumes of cascade copy sessions are made by multiple VASTREL Disk storage systems.\n"},
    {Msg::CascadeMode, ZRKC_CLASS_PARAMETER, "ZRKC3003 ERROR The transfer mode of the cascade copy session is incorrect.\n"},
    {Msg::OffloadSession, ZRKC_CLASS_PARAMETER, "ZRKC3004 ERROR The logical volume is already defined in an Offloaded Data Transfer session.\n"},
    {Msg::PriorityParameter, ZRKC_CLASS_PARAMETER, "ZRKC3005 ERROR Failed to set the copy priority due to an invalid parameter.\n"},
    {Msg::PriorityCombination, ZRKC_CLASS_ARRAY, "ZRKC3006 ERROR Failed to set the copy priority due to an unsupported argument combination.\n"},
    {Msg::PriorityNoRvzPath, ZRKC_CLASS_ARRAY, "ZRKC3007 ERROR Failed to set the copy priority because an RVZ path for the specified Box ID has not been set.\n"},
    {Msg::CascadeUsed, ZRKC_CLASS_BUSY, "ZRKC3008 ERROR The copy session is used by cascade copy session.\n"},
    {Msg::NasInUse, ZRKC_CLASS_PARAMETER, "ZRKC3010 ERROR This operation cannot be executed for the NAS resource is in use.\n"},
};

namespace detail {

// A name used without a row, or given arguments its text does not take: the
// call of one of these at compile time is the error.
[[noreturn]] inline void MessageHasNoRow() { std::abort(); }
void MessageArgumentsDoNotFitItsText(); // never defined: called only at compile time

constexpr bool StartsWith(const char *text, const char *prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text != *prefix) return false;
    }
    return true;
}

constexpr size_t Length(const char *text) {
    size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

// "ZRKC", the four digits of the row's number, a blank, a severity and a
// blank; one line, ending in its newline.
constexpr bool RowIsWellFormed(const MessageRow &row) {
    const char *text = row.pText;
    const uint32_t number = static_cast<uint32_t>(row.eName);
    if (number > 9999 || !StartsWith(text, "ZRKC")) return false;
    uint32_t digits = 0;
    for (int i = 4; i < 8; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        digits = digits * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    if (digits != number) return false;
    if (!StartsWith(text + 8, " ERROR ") && !StartsWith(text + 8, " WARNING ") &&
        !StartsWith(text + 8, " INFO "))
        return false;
    const size_t length = Length(text);
    for (size_t i = 0; i + 1 < length; ++i) {
        if (text[i] == '\n') return false;
    }
    return length < ZRK_MESSAGE_LEN && text[length - 1] == '\n';
}

constexpr bool RowsAreWellFormed() {
    for (const MessageRow &row : kMessageRows) {
        if (!RowIsWellFormed(row)) return false;
        if (row.iClass < ZRKC_CLASS_STATE || row.iClass > ZRKC_CLASS_SESSION_LIST) return false;
    }
    return true;
}

constexpr bool RowsRise() {
    return std::adjacent_find(std::begin(kMessageRows), std::end(kMessageRows),
                              [](const MessageRow &a, const MessageRow &b) {
                                  return a.eName >= b.eName;
                              }) == std::end(kMessageRows);
}

} // namespace detail

static_assert(detail::RowsRise(), "message rows: one per number, in rising order");
static_assert(detail::RowsAreWellFormed(),
              "message rows: each text \"ZRKCnnnn SEVERITY ...\\n\" with nnnn its number, "
              "one line within the message field, its class one of the return classes");

// The row of a message.
constexpr const MessageRow &RowOf(Msg name) {
    const MessageRow *row = std::lower_bound(std::begin(kMessageRows), std::end(kMessageRows), name,
                                             [](const MessageRow &r, Msg n) { return r.eName < n; });
    if (row == std::end(kMessageRows) || row->eName != name) detail::MessageHasNoRow();
    return *row;
}

constexpr uint32_t NumberOf(Msg name) { return static_cast<uint32_t>(name); }
constexpr uint32_t NumberOf(CatalogueMsg name) { return static_cast<uint32_t>(name); }
constexpr int32_t ClassOf(Msg name) { return RowOf(name).iClass; }
constexpr const char *TextOf(Msg name) { return RowOf(name).pText; }

// A message number read from a result, compared with a message:
// ri.uiMessageNo == Msg::SessionMissing.
constexpr bool operator==(uint32_t number, Msg name) { return number == NumberOf(name); }

namespace detail {

// What one conversion of a text takes (a '*' width or precision one of
// its own).
enum class Arg : uint8_t { Int, Unsigned, LongLong, UnsignedLongLong, String, Unknown };

struct TextArgs {
    Arg eArgs[8];
    size_t uiCount;
    bool bKnown; // every conversion one of those above
};

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The arguments a printf format takes, in order.
constexpr TextArgs ArgsOfText(const char *text) {
    TextArgs out{{}, 0, true};
    auto take = [&out](Arg arg) {
        if (arg == Arg::Unknown || out.uiCount == std::size(out.eArgs)) {
            out.bKnown = false;
        } else {
            out.eArgs[out.uiCount++] = arg;
        }
    };
    for (size_t i = 0; out.bKnown && text[i] != '\0'; ++i) {
        if (text[i] != '%') continue;
        ++i;
        if (text[i] == '%') continue;
        while (text[i] == '-' || text[i] == '+' || text[i] == ' ' || text[i] == '#' || text[i] == '0') ++i;
        if (text[i] == '*') {
            take(Arg::Int);
            ++i;
        }
        while (IsDigit(text[i])) ++i;
        if (text[i] == '.') {
            ++i;
            if (text[i] == '*') {
                take(Arg::Int);
                ++i;
            }
            while (IsDigit(text[i])) ++i;
        }
        int longs = 0;
        while (text[i] == 'l') {
            ++longs;
            ++i;
        }
        switch (text[i]) {
        case 'd':
        case 'i':
            take(longs == 0 ? Arg::Int : longs == 2 ? Arg::LongLong : Arg::Unknown);
            break;
        case 'u':
        case 'x':
        case 'X':
            take(longs == 0 ? Arg::Unsigned : longs == 2 ? Arg::UnsignedLongLong : Arg::Unknown);
            break;
        case 's':
            take(longs == 0 ? Arg::String : Arg::Unknown);
            break;
        default:
            take(Arg::Unknown);
            break;
        }
    }
    return out;
}

// What an argument of type T gives a conversion, as printf takes it.
template <typename T> constexpr Arg ArgOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, const char *> || std::is_same_v<U, char *>) {
        return Arg::String;
    } else if constexpr (std::is_integral_v<U> && !std::is_same_v<U, bool>) {
        using P = decltype(+U{});
        if constexpr (std::is_same_v<P, int>) return Arg::Int;
        if constexpr (std::is_same_v<P, unsigned>) return Arg::Unsigned;
        if constexpr (std::is_same_v<P, long long>) return Arg::LongLong;
        if constexpr (std::is_same_v<P, unsigned long long>) return Arg::UnsignedLongLong;
        return Arg::Unknown;
    } else {
        return Arg::Unknown;
    }
}

template <typename... A> constexpr bool ArgsFitText(const char *text) {
    const TextArgs wanted = ArgsOfText(text);
    const Arg given[] = {ArgOf<A>()..., Arg::Unknown};
    if (!wanted.bKnown || wanted.uiCount != sizeof...(A)) return false;
    for (size_t i = 0; i < wanted.uiCount; ++i) {
        if (wanted.eArgs[i] != given[i]) return false;
    }
    return true;
}

} // namespace detail

// A message named with the arguments of types A...: naming it checks, at
// compile time, that its text takes those arguments in that order.
template <typename... A> struct MsgFormat {
    Msg eName;
    consteval MsgFormat(Msg name) : eName(name) {
        if (!detail::ArgsFitText<A...>(TextOf(name))) detail::MessageArgumentsDoNotFitItsText();
    }
};

// The parameter type of a message named with the arguments that follow it.
template <typename... A> using MsgOf = MsgFormat<std::type_identity_t<A>...>;

// The whole text of a message with its arguments, however long (the
// programs' lines; a result's line is bounded, see zrkcmessage.h).
template <typename... A> std::string MessageText(MsgOf<A...> message, A... args) {
    const char *format = TextOf(message.eName);
    if constexpr (sizeof...(A) == 0) {
        return format;
    } else {
        const int length = std::snprintf(nullptr, 0, format, args...);
        if (length <= 0) return std::string();
        std::string text(static_cast<size_t>(length), '\0');
        std::snprintf(text.data(), text.size() + 1, format, args...);
        return text;
    }
}

} // namespace zrkc
