#pragma once
// Client-side reading of SQL texts before they reach the server: the statement kind from the
// first word, the scan for ":name" parameter and "@macro" references, and the rewriting of a
// text with macro values and IS NULL tests. Pure text routines; they keep no shared state.

#include <QChar>
#include <QString>
#include <vector>

enum TSQLKind {
    skUnknown = 0,
    skSelect = 1,
    skUpdate = 2,
    skInsert = 3,
    skDelete = 4,
    skExecuteProc = 5,
    skDDL = 6,
    skExecuteBlock = 7,
    skUpdateOrInsert = 8
};

// Character classes of the scanner. Characters above 255 belong to none.
namespace sqlchars {
bool isWordStartBoundary(QChar c);  // tab, LF, CR, space, '"', ')'
bool isWordEndBoundary(QChar c);    // NUL, tab, LF, CR, space, '"', '(', '-', '/', ';', '^'
bool isSkippable(QChar c);          // NUL, tab, LF, CR, space, '(', ';', '^'
bool isNameChar(QChar c);           // '#', '$', '%', '.', digits, ASCII letters, '_'
bool isLineCommentEnd(QChar c);     // NUL, LF, CR
bool isMacroTextEnd(QChar c);       // LF, CR, space
}  // namespace sqlchars

// Positions in these routines are 1-based, as the parser reports them.
// Advances pos over blanks, opening parentheses, ";" and "^", "--" line comments and
// "/* */" block comments. A "-" or "/" that opens no comment stops the skipping.
void SkipBlanksAndComments(const QString& text, int length, int& pos);

// True when the upper-case ASCII word stands at pos: preceded (unless at the start) by a
// word-start boundary, matching case-insensitively, and followed by a word-end boundary or
// the end of the text.
bool IsWordAt(const char* word, const QString& text, int pos);

// The text with its ASCII letters upper-cased; other characters stay as they are, as the
// server folds unquoted names.
QString UpperAscii(const QString& text);

// Holds a statement text and classifies it by its first word.
class TSQLParser {
public:
    TSQLParser() = default;
    explicit TSQLParser(const QString& text) { setSQLText(text); }

    const QString& SQLText() const { return FSQLText; }
    void setSQLText(const QString& text);
    int Len() const { return FLen; }
    int FirstPos() const { return FFirstPos; }  // 1-based position of the first word
    TSQLKind SQLKind() const { return FSQLKind; }
    bool CanParamsCheck() const { return FCanParamsCheck; }  // false for DDL texts

private:
    TSQLKind classify() const;
    bool isDDLWord() const;

    QString FSQLText;
    int FLen = 0;
    int FFirstPos = 1;
    TSQLKind FSQLKind = skUnknown;
    bool FCanParamsCheck = true;
};

// True when the text holds no parameter marker (":" or "?") and no macro character outside
// literals and comments, so no full scan is needed. Errs only towards reporting a marker.
bool QuickParamCheck(const QString& text, QChar macroChar = QLatin1Char('@'));

// One ":name", "?name" or macro reference found by ScanSQLText.
struct TSQLReference {
    QString name;          // as written: quoted names without their quotes; macros: full text
    bool isMacro = false;
    bool quoted = false;   // the name was written in double quotes
    bool inWhereClause = false;
    bool canForceIsNull = false;
    int beginPos = 0;      // 0-based index of the marker
    int endPos = 0;        // 0-based index of the reference's last character
};

enum TSQLParseError { speNone, speEOFInComment, speEOFInString, speNameExpected };

// The resource text of a parse error: "EOF in comment detected", "EOF in string detected",
// "Parameter name expected"; empty for speNone.
QString SQLParseErrorText(TSQLParseError error);

struct TSQLScanOptions {
    TSQLKind kind = skUnknown;
    bool canParamsCheck = true;     // false: ":" and "?" are ordinary text (DDL)
    QChar macroChar = QLatin1Char('@');
    bool forServer = false;         // also produce the server text
};

struct TSQLScanResult {
    std::vector<TSQLReference> references;  // in order of appearance
    QString serverText;  // forServer: markers as "?", rest of each reference blank; same length
    TSQLParseError error = speNone;
    bool hasMacros = false;
};

// One pass over the text recording its parameter and macro references, tracking whether each
// stands in the WHERE clause and may be rewritten into an IS NULL test. On a parse error the
// result holds the error and whatever was found before it.
TSQLScanResult ScanSQLText(const QString& text, const TSQLScanOptions& options);

// A macro's text split at the first "%": its name (macro character removed, at most 255
// characters) and default value; a default beginning with "#" is quoted, without the "#".
struct TMacroParts {
    QString name;
    QString defaultValue;
    bool defaultQuoted = false;
};
TMacroParts SplitMacroText(const QString& macroText, QChar macroChar = QLatin1Char('@'));

// What the rewriting needs to know of one Params entry.
struct TReadyReference {
    bool isMacro = false;
    QString macroValue;       // macros: the current value as text
    bool defaultQuoted = false;
    bool isNull = false;      // parameters: the value is null
    bool inWhereClause = false;
    bool canForceIsNull = false;
    int beginPos = 0;         // 0-based, in the parser's text
    int endPos = 0;
};

struct TReadySQLResult {
    QString text;
    std::vector<bool> rewritten;  // per reference: substituted (macro) or turned into IS NULL
};

// Rewrites the parser's text: every macro reference becomes its value (in apostrophes when its
// default was quoted), and with forceIsNull a null parameter compared by "=", "<>", "!=", "^=" or
// "~=" in the WHERE clause turns the comparison into " IS NULL " or " IS NOT NULL ".
TReadySQLResult ReadySQLText(const QString& text, const std::vector<TReadyReference>& refs,
                             bool forceIsNull);
