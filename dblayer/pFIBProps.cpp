#include "pFIBProps.h"

#include "IB_Intf.h"
#include "fib.h"

#include <array>

namespace {

// Position + 1 is the DPB code.
const std::array<const char*, DPBNameCount> kDPBNames = {
    "cdd_pathname", "allocation", "journal", "page_size", "num_buffers", "buffer_length", "debug",
    "garbage_collect", "verify", "sweep", "enable_journal", "disable_journal", "dbkey_scope",
    "number_of_users", "trace", "no_garbage_collect", "damaged", "license", "sys_user_name",
    "encrypt_key", "activate_shadow", "sweep_interval", "delete_shadow", "force_write", "begin_log",
    "quit_log", "no_reserve", "user_name", "password", "password_enc", "sys_user_name_enc", "interp",
    "online_dump", "old_file_size", "old_num_files", "old_file", "old_start_page", "old_start_seqno",
    "old_start_file", "drop_walfile", "old_dump_id", "wal_backup_dir", "wal_chkptlen", "wal_numbufs",
    "wal_bufsize", "wal_grp_cmt_wait", "lc_messages", "lc_ctype", "cache_manager", "shutdown", "online",
    "shutdown_delay", "reserved", "overwrite", "sec_attach", "disable_wal", "connect_timeout",
    "dummy_packet_interval", "gbak_attach", "sql_role_name", "set_page_buffers", "working_directory",
    "sql_dialect", "set_db_readonly", "set_db_sql_dialect", "gfix_attach", "gstat_attach",
    "gbak_ods_version", "gbak_ods_minor_version", "set_group_commit", "gbak_validate",
    "client_interbase_var", "admin_option", "flush_interval", "instance_name", "old_overwrite",
    "archive_database", "archive_journals", "archive_sweep", "archive_dumps", "archive_recover",
    "recover_until", "force"};

struct TExtraDPBName {
    const char* name;
    int code;
};
// Looked up after the table; the Firebird 4 items follow the older ones.
const std::array<TExtraDPBName, 7> kExtraDPBNames = {{
    {"no_db_triggers", 72}, {"set_db_charset", 68}, {"utf8_filename", 77},
    {"session_time_zone", isc_dpb_session_time_zone}, {"set_bind", isc_dpb_set_bind},
    {"decfloat_round", isc_dpb_decfloat_round}, {"decfloat_traps", isc_dpb_decfloat_traps}}};

enum TDPBCode : int {
    dpbNumBuffers = 5, dpbGarbageCollect = 8, dpbVerify = 9, dpbSweep = 10, dpbDbkeyScope = 13,
    dpbNoGarbageCollect = 16, dpbDamaged = 17, dpbLicense = 18, dpbSysUserName = 19, dpbEncryptKey = 20,
    dpbActivateShadow = 21, dpbSweepInterval = 22, dpbDeleteShadow = 23, dpbForceWrite = 24,
    dpbBeginLog = 25, dpbQuitLog = 26, dpbNoReserve = 27, dpbUserName = 28, dpbPassword = 29,
    dpbPasswordEnc = 30, dpbOnlineDump = 33, dpbOldFileSize = 34, dpbOldFile = 36, dpbLcMessages = 47,
    dpbLcCtype = 48, dpbShutdown = 50, dpbOnline = 51, dpbShutdownDelay = 52, dpbOverwrite = 54,
    dpbConnectTimeout = 57, dpbDummyPacketInterval = 58, dpbSqlRoleName = 60, dpbSqlDialect = 63,
    dpbSetDbCharset = 68, dpbNoDbTriggers = 72, dpbInstanceName = 75, dpbUtf8Filename = 77,
    dpbSessionTimeZone = isc_dpb_session_time_zone, dpbSetBind = isc_dpb_set_bind,
    dpbDecfloatRound = isc_dpb_decfloat_round, dpbDecfloatTraps = isc_dpb_decfloat_traps,
};

// The name of a code for messages: its table name, else its first name after the table.
QString dpbItemName(int code)
{
    if (code >= 1 && code <= DPBNameCount)
        return DPBConstName(code);
    for (const TExtraDPBName& extra : kExtraDPBNames)
        if (extra.code == code)
            return QString::fromLatin1(extra.name);
    return QString::number(code);
}

bool isTrimmed(QChar c) { return c.unicode() <= 32; }

QByteArray asciiLower(QByteArray text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

QString asciiUpper(QString text)
{
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return text;
}

// The shutdown flags byte: words split at "," and ";", or-ed together.
int shutdownFlags(const QString& value)
{
    static const std::array<std::pair<const char*, int>, 9> kWords = {{
        {"attachment", 2}, {"cache", 1}, {"force", 8}, {"full", 64}, {"mode_mask", 112},
        {"multi", 32}, {"normal", 16}, {"single", 48}, {"transaction", 4}}};
    int flags = 0;
    QString normalised = value;
    normalised.replace(QLatin1Char(';'), QLatin1Char(','));
    for (const QString& rawWord : normalised.split(QLatin1Char(','))) {
        const QString word = rawWord.toLower();
        int number = -1;
        if (!word.isEmpty() && word.at(0).isDigit()) {
            number = ParamStrToInt(word);
        } else {
            for (const auto& [name, bits] : kWords)
                if (word == QLatin1String(name))
                    number = bits;
        }
        flags |= number;
    }
    return flags & 0xFF;
}

void appendText(QByteArray& dpb, int code, const QByteArray& value)
{
    if (value.size() > 255)
        RaiseClientErrorText(QStringLiteral("The value of DPB parameter isc_dpb_%s is too long (%d bytes; at most 255)."),
                             {dpbItemName(code), static_cast<int>(value.size())});
    dpb.append(static_cast<char>(code));
    dpb.append(static_cast<char>(value.size()));
    dpb.append(value);
}

// A one-byte item's value; one that does not fit the byte is refused rather than cut to its low byte.
int byteValue(int code, const QString& valueText)
{
    const int value = ParamStrToInt(valueText);
    if (value < 0 || value > 255)
        RaiseClientErrorText(QStringLiteral("The value of DPB parameter isc_dpb_%s is out of range (%s; 0 to 255)."),
                             {DPBConstName(code), valueText});
    return value;
}

void appendByte(QByteArray& dpb, int code, int value)
{
    dpb.append(static_cast<char>(code));
    dpb.append('\x01');
    dpb.append(static_cast<char>(value & 0xFF));
}

void appendEmpty(QByteArray& dpb, int code)
{
    dpb.append(static_cast<char>(code));
    dpb.append('\0');
}

}  // namespace

QString DPBConstName(int code)
{
    if (code < 1 || code > DPBNameCount)
        return {};
    return QString::fromLatin1(kDPBNames[code - 1]);
}

int DPBConstCode(const QByteArray& name)
{
    for (int i = 0; i < DPBNameCount; ++i)
        if (name == kDPBNames[i])
            return i + 1;
    for (const TExtraDPBName& extra : kExtraDPBNames)
        if (name == extra.name)
            return extra.code;
    return 0;
}

int ParamStrToInt(const QString& text)
{
    QString digits = text;
    while (!digits.isEmpty() && digits.at(0) == QLatin1Char(' '))
        digits.remove(0, 1);
    bool ok = false;
    int value = 0;
    bool negative = digits.startsWith(QLatin1Char('-'));
    QString body = (negative || digits.startsWith(QLatin1Char('+'))) ? digits.mid(1) : digits;
    // The one sign stands before the prefix: "$-1" and "-$-80000000" are no integers (the
    // latter's negation would overflow).
    auto hex = [&ok](const QString& text) {
        const char16_t c = text.isEmpty() ? 0 : text.at(0).unicode();
        const bool digitFirst = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        return digitFirst ? text.toInt(&ok, 16) : 0;
    };
    if (body.startsWith(QLatin1Char('$')))
        value = hex(body.mid(1));
    else if (body.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = hex(body.mid(2));
    else if (!body.isEmpty() && body.at(0).isDigit())
        value = body.toInt(&ok, 10);
    if (!ok)
        throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return negative ? -value : value;
}

int IndexOfDBConst(const TStringList& params, const QString& name)
{
    const QString wanted = asciiUpper(name);
    for (int i = 0; i < params.Count(); ++i) {
        const qsizetype pos = asciiUpper(params[i]).indexOf(wanted);
        if (pos == 0 || pos == 8)
            return i;
    }
    return -1;
}

QString GetDBParamByDPB(const TStringList& params, int code)
{
    const QString name = DPBConstName(code);
    if (name.isEmpty())
        return {};
    const int index = IndexOfDBConst(params, name);
    return index < 0 ? QString() : params.ValueFromIndex(index);
}

void SetDBParamByDPB(TStringList& params, int code, const QString& value)
{
    const QString name = DPBConstName(code);
    params.setValueAt(IndexOfDBConst(params, name), name, value);
}

bool ReadParamLine(TStringList& params, int index, const char* prefix, TParamLine& line)
{
    const QString& raw = params[index];
    qsizetype begin = 0, end = raw.size();
    while (begin < end && isTrimmed(raw.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(raw.at(end - 1)))
        --end;
    const QString text = raw.mid(begin, end - begin);
    params.setString(index, text);
    if (text.isEmpty())
        return false;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    line.valueText = eq < 0 ? QString() : text.mid(eq + 1);
    line.value = line.valueText.toLocal8Bit();
    line.name = asciiLower((eq < 0 ? text : text.left(eq)).toLocal8Bit());
    if (line.name.startsWith(prefix))
        line.name.remove(0, qstrlen(prefix));
    return true;
}

QByteArray BuildDPB(TStringList& params, bool isFirebird)
{
    QByteArray dpb(1, static_cast<char>(isc_dpb_version1));
    for (int i = 0; i < params.Count(); ++i) {
        TParamLine line;
        if (!ReadParamLine(params, i, "isc_dpb_", line))
            continue;
        const QByteArray& name = line.name;
        const QByteArray& value = line.value;
        const QString& valueText = line.valueText;
        const int code = DPBConstCode(name);
        switch (code) {
        case dpbLicense: case dpbSysUserName: case dpbEncryptKey: case dpbUserName: case dpbPassword:
        case dpbPasswordEnc: case dpbOldFile: case dpbLcMessages: case dpbLcCtype: case dpbSqlRoleName:
            appendText(dpb, code, value);
            break;
        case dpbSqlDialect: {
            QByteArray dialect = value;
            if (!dialect.isEmpty())
                dialect[0] = static_cast<char>(dialect[0] - '0');
            appendText(dpb, code, dialect);
            break;
        }
        case dpbNumBuffers: case dpbVerify: case dpbDbkeyScope: case dpbDamaged: case dpbForceWrite:
        case dpbNoReserve: case dpbOnlineDump: case dpbOldFileSize: case dpbShutdownDelay: case dpbOverwrite:
        case dpbConnectTimeout: case dpbDummyPacketInterval:
            appendByte(dpb, code, byteValue(code, valueText));
            break;
        case dpbSweepInterval: {
            const quint32 interval = static_cast<quint32>(ParamStrToInt(valueText));
            dpb.append(static_cast<char>(code));
            dpb.append('\x04');
            for (int shift = 0; shift < 32; shift += 8)
                dpb.append(static_cast<char>((interval >> shift) & 0xFF));
            break;
        }
        case dpbGarbageCollect: case dpbNoGarbageCollect:
            appendByte(dpb, code, 1);
            break;
        case dpbSweep:
            appendByte(dpb, code, 2);
            break;
        case dpbActivateShadow: case dpbDeleteShadow: case dpbBeginLog: case dpbQuitLog:
            appendByte(dpb, code, 0);
            break;
        case dpbOnline:
            appendEmpty(dpb, code);
            break;
        case dpbShutdown:
            if (valueText.isEmpty())
                appendEmpty(dpb, code);
            else
                appendByte(dpb, code, shutdownFlags(valueText));
            break;
        case dpbSetDbCharset:
            if (isFirebird)
                appendText(dpb, code, value);
            break;
        case dpbNoDbTriggers:
            if (isFirebird)
                appendByte(dpb, code, 1);
            break;
        case dpbInstanceName:
            if (!isFirebird)
                appendText(dpb, code, value);
            break;
        case dpbUtf8Filename:
            if (isFirebird)
                appendEmpty(dpb, code);
            break;
        case dpbSessionTimeZone: case dpbSetBind: case dpbDecfloatRound: case dpbDecfloatTraps:
            if (isFirebird)
                appendText(dpb, code, value);
            break;
        case 0:
            RaiseClientError(ceDPBConstantUnknown, {QString::fromLocal8Bit(name)});
        default:
            RaiseClientError(ceDPBConstantNotSupported, {DPBConstName(code)});
        }
    }
    // Its length travels as a signed 16-bit number.
    if (dpb.size() > 32767)
        RaiseClientErrorText(QStringLiteral("The database parameter block is too long (%d bytes; at most 32767)."),
                             {static_cast<int>(dpb.size())});
    return dpb;
}

// ---------------------------------------------------------------- typed properties

QString TIB2007ConnectParams::InstanceName() const { return GetDBParamByDPB(FParams, dpbInstanceName); }
void TIB2007ConnectParams::setInstanceName(const QString& value) { SetDBParamByDPB(FParams, dpbInstanceName, value); }

TConnectParams::TConnectParams(TDBParams& params, QObject* owner)
    : QObject(owner), FParams(params), FIB2007(new TIB2007ConnectParams(params, this))
{
}

QString TConnectParams::UserName() const { return GetDBParamByDPB(FParams, dpbUserName); }
void TConnectParams::setUserName(const QString& value) { SetDBParamByDPB(FParams, dpbUserName, value); }
QString TConnectParams::RoleName() const { return GetDBParamByDPB(FParams, dpbSqlRoleName); }
void TConnectParams::setRoleName(const QString& value) { SetDBParamByDPB(FParams, dpbSqlRoleName, value); }
QString TConnectParams::Password() const { return GetDBParamByDPB(FParams, dpbPassword); }
void TConnectParams::setPassword(const QString& value) { SetDBParamByDPB(FParams, dpbPassword, value); }
QString TConnectParams::CharSet() const { return GetDBParamByDPB(FParams, dpbLcCtype); }
void TConnectParams::setCharSet(const QString& value) { SetDBParamByDPB(FParams, dpbLcCtype, asciiUpper(value)); }
