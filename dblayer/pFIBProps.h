#pragma once
// Connection parameters: the name=value lines of a connection (TDBParams), typed properties
// over some of them (TConnectParams), and the database parameter block (DPB) built from them.
//
//   lc_ctype=UTF8          ->  1 (version)  48 4 'U' 'T' 'F' '8'
//   user_name=SYSDBA            28 6 'S' 'Y' 'S' 'D' 'B' 'A'
//
// A line's name may carry the prefix "isc_dpb_"; letter case of names is ignored.

#include "StringList.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// ---- The DPB name table: codes 1 to 83 are the positions of their names.
inline constexpr int DPBNameCount = 83;
// The table name of a code from 1 to 83 ("user_name" for 28); empty outside the table.
QString DPBConstName(int code);
// The code of a name as the DPB builder looks it up: the 83 table names, then no_db_triggers (72),
// set_db_charset (68), utf8_filename (77) and Firebird 4's session_time_zone (91), set_bind (93),
// decfloat_round (94) and decfloat_traps (95); exact comparison; 0 when not found.
int DPBConstCode(const QByteArray& name);

// Index of the first line naming the parameter, or -1. The match ignores ASCII letter case and
// is a prefix match at the line's start or after an eight-character prefix such as "isc_dpb_",
// so a password_enc line also names password.
int IndexOfDBConst(const TStringList& params, const QString& name);
// The value (text after the first "=") of the line of a table code; empty for a code outside
// 1..83, for no line, or for a line without "=".
QString GetDBParamByDPB(const TStringList& params, int code);
// Replaces the line of a table code by name=value, appends it when absent, or deletes it when
// the value is empty. The line is written with the table name.
void SetDBParamByDPB(TStringList& params, int code, const QString& value);

// Builds the DPB from the lines. Every line is trimmed of blanks and control characters and
// written back (a change of the list); empty lines add nothing. Raises client error 8 for an
// unsupported table name, 9 for an unknown name, an EFIBClientError naming the parameter when a
// text value exceeds 255 bytes, and Exception for a numeric value that is not an integer.
// isFirebird decides the items of codes 68, 72, 75, 77, 91, 93, 94 and 95: the Firebird 4 items
// are text items, sent only to Firebird.
QByteArray BuildDPB(TStringList& params, bool isFirebird);

// One line of a parameter list as the block builders read it.
struct TParamLine {
    QByteArray name;    // in the ANSI code page, ASCII letters lower-cased, the prefix dropped
    QString valueText;  // the text after the first "=", empty without one
    QByteArray value;   // valueText in the ANSI code page
};
// Trims line index of params of blanks and control characters at both ends and writes it back
// (a change of the list). False for a line that is then empty; otherwise splits it at the first
// "=" into line, dropping prefix (such as "isc_dpb_") from the name.
bool ReadParamLine(TStringList& params, int index, const char* prefix, TParamLine& line);

// The runtime's integer conversion of a parameter value: decimal with an optional sign, or
// hexadecimal after "$" or "0x"; leading blanks allowed. Raises Exception
// "'<text>' is not a valid integer value" otherwise.
int ParamStrToInt(const QString& text);

// ---- The connection's parameter lines; its owner is the connection.
class TDBParams : public TStringList {
public:
    explicit TDBParams(QObject* owner) : FOwner(owner) {}
    QObject* Owner() const { return FOwner; }

private:
    QObject* FOwner;
};

class TConnectParams;

// Parameters of later server generations; stores nothing itself.
class TIB2007ConnectParams : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString InstanceName READ InstanceName WRITE setInstanceName STORED false)
public:
    explicit TIB2007ConnectParams(TDBParams& params, QObject* parent) : QObject(parent), FParams(params) {}
    QString InstanceName() const;
    void setInstanceName(const QString& value);
    void Assign(const TIB2007ConnectParams& source) { setInstanceName(source.InstanceName()); }

private:
    TDBParams& FParams;
};

// Typed properties over the connection's lines; only IsFirebird is stored here.
class TConnectParams : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString UserName READ UserName WRITE setUserName STORED false)
    Q_PROPERTY(QString RoleName READ RoleName WRITE setRoleName STORED false)
    Q_PROPERTY(QString Password READ Password WRITE setPassword STORED false)
    Q_PROPERTY(QString CharSet READ CharSet WRITE setCharSet STORED false)
    Q_PROPERTY(bool IsFirebird READ IsFirebird WRITE setIsFirebird)
public:
    TConnectParams(TDBParams& params, QObject* owner);

    QString UserName() const;
    void setUserName(const QString& value);
    QString RoleName() const;
    void setRoleName(const QString& value);
    QString Password() const;
    void setPassword(const QString& value);
    QString CharSet() const;
    // Stores the value with its ASCII letters upper-cased.
    void setCharSet(const QString& value);
    bool IsFirebird() const { return FIsFirebird; }
    void setIsFirebird(bool value) { FIsFirebird = value; }
    TIB2007ConnectParams* IB2007() const { return FIB2007; }
    void setIB2007(const TIB2007ConnectParams& value) { FIB2007->Assign(value); }

private:
    TDBParams& FParams;
    bool FIsFirebird = true;
    TIB2007ConnectParams* FIB2007;
};
