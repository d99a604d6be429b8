#pragma once
// The numbers TDS puts on the wire, in one place: packet types and status bits, the options
// of PRELOGIN and LOGIN7, RPC flags, the codes of DONE and ENVCHANGE, column flags, data type
// codes, token types, the length markers of NULL and of partially length-prefixed (PLP) data,
// and how datetime values count days and time. Kept here, below every layer, because the
// engine keeps dates the way TDS sends them and the framing (net) and the messages (tds)
// share the packet codes.

#include <cstdint>

namespace ztds {

namespace tds {

// The type byte of a packet header.
namespace packet_type {
inline constexpr uint8_t SqlBatch = 1;
inline constexpr uint8_t PreTds7Login = 2;
inline constexpr uint8_t Rpc = 3;
inline constexpr uint8_t TabularResult = 4;
inline constexpr uint8_t Attention = 6;
inline constexpr uint8_t BulkLoad = 7;
inline constexpr uint8_t TransactionManager = 14;
inline constexpr uint8_t Login7 = 16;
inline constexpr uint8_t Sspi = 17;
inline constexpr uint8_t PreLogin = 18;
} // namespace packet_type

// The status bits of a packet header.
namespace packet_status {
inline constexpr uint8_t EndOfMessage = 0x01;
inline constexpr uint8_t Ignore = 0x02;
inline constexpr uint8_t ResetConnection = 0x08;
inline constexpr uint8_t ResetConnectionSkipTransaction = 0x10;
} // namespace packet_status

// The option tokens of a PRELOGIN message.
namespace prelogin_option {
inline constexpr uint8_t Version = 0;
inline constexpr uint8_t Encryption = 1;
inline constexpr uint8_t InstOpt = 2;
inline constexpr uint8_t ThreadId = 3;
inline constexpr uint8_t Mars = 4;
inline constexpr uint8_t Terminator = 0xFF;
} // namespace prelogin_option

// The values of the PRELOGIN ENCRYPTION option.
namespace encrypt {
inline constexpr uint8_t Off = 0;
inline constexpr uint8_t On = 1;
inline constexpr uint8_t NotSupported = 2;
inline constexpr uint8_t Required = 3;
inline constexpr uint8_t ClientCertificate = 0x80; // a flag on top of the others
} // namespace encrypt

// The TDS versions of LOGIN7 and LOGINACK.
namespace tds_version {
inline constexpr uint32_t V7_0 = 0x70000000;
inline constexpr uint32_t V7_1 = 0x71000001;
inline constexpr uint32_t V7_2 = 0x72090002;
inline constexpr uint32_t V7_3A = 0x730A0003;
inline constexpr uint32_t V7_3B = 0x730B0003;
inline constexpr uint32_t V7_4 = 0x74000004;
} // namespace tds_version

// The well-known procedure numbers a client may send instead of a name.
namespace proc_id {
inline constexpr uint16_t ExecuteSql = 10;
inline constexpr uint16_t Prepare = 11;
inline constexpr uint16_t Execute = 12;
inline constexpr uint16_t PrepExec = 13;
inline constexpr uint16_t Unprepare = 15;
} // namespace proc_id

// LOGIN7's OptionFlags2: the client logs in with Windows authentication.
inline constexpr uint8_t optionFlags2IntegratedSecurity = 0x80;

// A name length of 0xFFFF in an RPC call: a procedure number (proc_id) follows instead.
inline constexpr uint16_t rpcProcIdSwitch = 0xFFFF;

// The flags that end one call of an RPC batch where another may follow.
namespace rpc_batch_flag {
inline constexpr uint8_t Before72 = 0x80; // TDS 7.0 and 7.1
inline constexpr uint8_t NoExec = 0xFE;
inline constexpr uint8_t From72 = 0xFF;
} // namespace rpc_batch_flag

// The status byte of an RPC parameter and of a RETURNVALUE token: an output parameter.
inline constexpr uint8_t parameterByReference = 0x01;

// The requests of a transaction manager message.
namespace tm_request {
inline constexpr uint16_t Begin = 5;
inline constexpr uint16_t Commit = 7;
inline constexpr uint16_t Rollback = 8;
} // namespace tm_request

// The types of an ENVCHANGE token.
namespace env_type {
inline constexpr uint8_t Database = 1;
inline constexpr uint8_t Language = 2;
inline constexpr uint8_t PacketSize = 4;
inline constexpr uint8_t SqlCollation = 7;
inline constexpr uint8_t BeginTransaction = 8;
inline constexpr uint8_t CommitTransaction = 9;
inline constexpr uint8_t RollbackTransaction = 10;
inline constexpr uint8_t ResetConnection = 18;
} // namespace env_type

// The status bits of a DONE, DONEPROC or DONEINPROC token.
namespace done_status {
inline constexpr uint16_t Final = 0x0000;
inline constexpr uint16_t More = 0x0001;
inline constexpr uint16_t Error = 0x0002;
inline constexpr uint16_t Count = 0x0010;
inline constexpr uint16_t Attention = 0x0020;
} // namespace done_status

// The CurCmd of a DONE token after a statement that returned rows.
inline constexpr uint16_t doneCommandSelect = 0xC1;

// The three DONE tokens: the end of a batch's statement, of a procedure, of a statement in one.
enum class DoneKind : uint8_t { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// Data type codes of TYPE_INFO, in parameters and in column metadata.
namespace data_type {
inline constexpr uint8_t NullType = 0x1F;
inline constexpr uint8_t Image = 0x22;
inline constexpr uint8_t Text = 0x23;
inline constexpr uint8_t Guid = 0x24;
inline constexpr uint8_t IntN = 0x26;
inline constexpr uint8_t DateN = 0x28;
inline constexpr uint8_t TimeN = 0x29;
inline constexpr uint8_t DateTime2N = 0x2A;
inline constexpr uint8_t DateTimeOffsetN = 0x2B;
// The fixed-length types, which SQL Server sends for a NOT NULL column of these types.
inline constexpr uint8_t Int1 = 0x30;
inline constexpr uint8_t Bit = 0x32;
inline constexpr uint8_t Int2 = 0x34;
inline constexpr uint8_t Int4 = 0x38;
inline constexpr uint8_t DateTime4 = 0x3A;
inline constexpr uint8_t Float4 = 0x3B;
inline constexpr uint8_t Money8 = 0x3C;
inline constexpr uint8_t DateTime8 = 0x3D;
inline constexpr uint8_t Float8 = 0x3E;
inline constexpr uint8_t Money4 = 0x7A;
inline constexpr uint8_t Int8 = 0x7F;
// The nullable forms, each with a length byte.
inline constexpr uint8_t NText = 0x63;
inline constexpr uint8_t BitN = 0x68;
inline constexpr uint8_t DecimalN = 0x6A;
inline constexpr uint8_t NumericN = 0x6C;
inline constexpr uint8_t FloatN = 0x6D;
inline constexpr uint8_t MoneyN = 0x6E;
inline constexpr uint8_t DateTimeN = 0x6F;
inline constexpr uint8_t BigVarBinary = 0xA5;
inline constexpr uint8_t BigVarChar = 0xA7;
inline constexpr uint8_t BigBinary = 0xAD;
inline constexpr uint8_t BigChar = 0xAF;
inline constexpr uint8_t NVarChar = 0xE7;
inline constexpr uint8_t NChar = 0xEF;
} // namespace data_type

// The flags of a column in COLMETADATA.
namespace column_flag {
inline constexpr uint16_t Nullable = 0x0001;
inline constexpr uint16_t CaseSensitive = 0x0002;
inline constexpr uint16_t UpdatableUnknown = 0x0008;
inline constexpr uint16_t Identity = 0x0010;
} // namespace column_flag

// Token types of the server's answers.
namespace token {
inline constexpr uint8_t ReturnStatus = 0x79;
inline constexpr uint8_t ColMetadata = 0x81;
inline constexpr uint8_t Error = 0xAA;
inline constexpr uint8_t Info = 0xAB;
inline constexpr uint8_t ReturnValue = 0xAC;
inline constexpr uint8_t LoginAck = 0xAD;
inline constexpr uint8_t Row = 0xD1;
inline constexpr uint8_t EnvChange = 0xE3;
} // namespace token

// The 5-byte collation of Chinese_PRC_CI_AS: LCID 0x0804, ignore case, kana type and width.
inline constexpr uint8_t chineseCollation[5] = {0x04, 0x08, 0xD0, 0x00, 0x00};

// A 2-byte maximum length of 0xFFFF announces PLP data: (max) types from TDS 7.2 on.
inline constexpr uint16_t plpLength = 0xFFFF;
// The 8-byte total of PLP data: NULL, or a length the chunks alone tell.
inline constexpr uint64_t plpNull = 0xFFFFFFFFFFFFFFFFull;
inline constexpr uint64_t plpUnknownLength = 0xFFFFFFFFFFFFFFFEull;
// NULL among values with a 2-byte length (character and binary types) and a 4-byte one
// (text, ntext, image).
inline constexpr uint16_t nullLength16 = 0xFFFF;
inline constexpr uint32_t nullLength32 = 0xFFFFFFFFu;

} // namespace tds

// datetime counts days from 1900-01-01; date and datetime2 from 0001-01-01, up to 9999-12-31.
inline constexpr int32_t daysFromYear1To1900 = 693595;
inline constexpr int32_t lastDayFromYear1 = 3652058;
inline constexpr int64_t msPerDay = 86400000;

// datetime keeps its time of day in 1/300 s ticks: .000, .003, .007 after a whole second.
inline constexpr int64_t dateTimeTicksPerSecond = 300;
inline constexpr int64_t lastDateTimeTickOfDay = dateTimeTicksPerSecond * 86400 - 1;
// Three ticks to ten milliseconds: the nearest tick, and a tick in whole milliseconds.
constexpr int64_t dateTimeTicksFromMs(int64_t ms) {
    return (ms * 3 + 5) / 10;
}
constexpr int64_t msFromDateTimeTicks(int64_t ticks) {
    return (ticks * 10 + 1) / 3;
}

} // namespace ztds
