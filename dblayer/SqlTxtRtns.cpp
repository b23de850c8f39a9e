#include "SqlTxtRtns.h"

#include <array>

namespace {

// Character class bits, one table for the Latin-1 range.
enum : unsigned char {
    kWordStart = 1,
    kWordEnd = 2,
    kSkippable = 4,
    kName = 8,
    kLineCommentEnd = 16,
    kMacroTextEnd = 32
};

constexpr std::array<unsigned char, 256> buildClassTable()
{
    std::array<unsigned char, 256> t{};
    auto add = [&t](const char* chars, unsigned char bit, bool withNul) {
        if (withNul)
            t[0] |= bit;
        for (const char* p = chars; *p != '\0'; ++p)
            t[static_cast<unsigned char>(*p)] |= bit;
    };
    add("\t\n\r \")", kWordStart, false);
    add("\t\n\r \"(-/;^", kWordEnd, true);
    add("\t\n\r (;^", kSkippable, true);
    add("#$%._", kName, false);
    add("\n\r", kLineCommentEnd, true);
    add("\n\r ", kMacroTextEnd, false);
    for (int c = '0'; c <= '9'; ++c)
        t[c] |= kName;
    for (int c = 'A'; c <= 'Z'; ++c) {
        t[c] |= kName;
        t[c + 32] |= kName;
    }
    return t;
}

constexpr std::array<unsigned char, 256> kClasses = buildClassTable();

bool inClass(QChar c, unsigned char bit)
{
    const char16_t u = c.unicode();
    return u < 256 && (kClasses[u] & bit) != 0;
}

// Character at a 0-based index; NUL past either end.
QChar charAt(const QString& text, int index)
{
    return index >= 0 && index < text.size() ? text[index] : QChar(0);
}

bool isAsciiLetter(QChar c, char upper)
{
    return c == QLatin1Char(upper) || c == QLatin1Char(static_cast<char>(upper + 32));
}

}  // namespace

namespace sqlchars {
bool isWordStartBoundary(QChar c) { return inClass(c, kWordStart); }
bool isWordEndBoundary(QChar c) { return inClass(c, kWordEnd); }
bool isSkippable(QChar c) { return inClass(c, kSkippable); }
bool isNameChar(QChar c) { return inClass(c, kName); }
bool isLineCommentEnd(QChar c) { return inClass(c, kLineCommentEnd); }
bool isMacroTextEnd(QChar c) { return inClass(c, kMacroTextEnd); }
}  // namespace sqlchars

using namespace sqlchars;

void SkipBlanksAndComments(const QString& text, int length, int& pos)
{
    // 1-based: the character at pos is text[pos - 1].
    auto at = [&text](int p) { return charAt(text, p - 1); };
    while (pos < length
           && (isSkippable(at(pos)) || at(pos) == QLatin1Char('-') || at(pos) == QLatin1Char('/'))) {
        const int start = pos;
        while (pos <= length && isSkippable(at(pos)))
            ++pos;
        if (pos < length && at(pos) == QLatin1Char('-') && at(pos + 1) == QLatin1Char('-')) {
            while (pos <= length && !isLineCommentEnd(at(pos)))
                ++pos;
        }
        if (pos < length && at(pos) == QLatin1Char('/') && at(pos + 1) == QLatin1Char('*')) {
            pos += 2;
            while (pos < length && !(at(pos) == QLatin1Char('*') && at(pos + 1) == QLatin1Char('/')))
                ++pos;
            pos += 2;
        }
        if (pos == start)
            break;
    }
}

QString UpperAscii(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return upper;
}

bool IsWordAt(const char* word, const QString& text, int pos)
{
    // An unterminated block comment leaves the skipping past the end of the text.
    const int index = pos - 1;
    if (index < 0 || index > text.size() || (index > 0 && !isWordStartBoundary(text[index - 1])))
        return false;
    const int wordLen = static_cast<int>(qstrlen(word));
    if (text.size() - index < wordLen)
        return false;
    for (int k = 0; k < wordLen; ++k)
        if (!isAsciiLetter(text[index + k], word[k]))
            return false;
    return index + wordLen == text.size() || isWordEndBoundary(text[index + wordLen]);
}

void TSQLParser::setSQLText(const QString& text)
{
    FSQLText = text;
    FLen = static_cast<int>(text.size());
    FFirstPos = 1;
    SkipBlanksAndComments(FSQLText, FLen, FFirstPos);
    FSQLKind = classify();
    FCanParamsCheck = FSQLKind != skDDL;
}

TSQLKind TSQLParser::classify() const
{
    const int p = FFirstPos;
    if (IsWordAt("SELECT", FSQLText, p) || IsWordAt("MERGE", FSQLText, p))
        return skSelect;
    if (IsWordAt("UPDATE", FSQLText, p)) {
        int next = p + 6;
        SkipBlanksAndComments(FSQLText, FLen, next);
        return IsWordAt("OR", FSQLText, next) ? skUpdateOrInsert : skUpdate;
    }
    if (IsWordAt("DELETE", FSQLText, p))
        return skDelete;
    if (IsWordAt("INSERT", FSQLText, p))
        return skInsert;
    if (IsWordAt("EXECUTE", FSQLText, p)) {
        int next = p + 7;
        SkipBlanksAndComments(FSQLText, FLen, next);
        if (IsWordAt("PROCEDURE", FSQLText, next))
            return skExecuteProc;
        if (IsWordAt("BLOCK", FSQLText, next))
            return skExecuteBlock;
    }
    return isDDLWord() ? skDDL : skUnknown;
}

// Data definition is recognised by the first letter of the first word and a short word list;
// "SET" counts only as "SET GENERATOR", every other word beginning with S does count.
bool TSQLParser::isDDLWord() const
{
    const int p = FFirstPos;
    if (FSQLText.isEmpty() || p > FLen || (p > 1 && !isWordStartBoundary(FSQLText[p - 2])))
        return false;
    const QChar first = FSQLText[p - 1];
    auto word = [this, p](const char* w) { return IsWordAt(w, FSQLText, p); };
    if (isAsciiLetter(first, 'A'))
        return word("ALTER");
    if (isAsciiLetter(first, 'C'))
        return word("CREATE") || word("COMMENT");
    if (isAsciiLetter(first, 'D'))
        return word("DROP") || word("DECLARE");
    if (isAsciiLetter(first, 'G'))
        return word("GRANT");
    if (isAsciiLetter(first, 'R'))
        return word("RECREATE") || word("REVOKE");
    if (isAsciiLetter(first, 'S')) {
        if (!word("SET"))
            return true;
        int next = p + 4;
        while (next <= FLen && isWordStartBoundary(FSQLText[next - 1]))
            ++next;
        return IsWordAt("GENERATOR", FSQLText, next);
    }
    return false;
}

// Quick scan: literals and comments are skipped, any marker in plain text answers False.
// A line comment ends where the full scan ends it (NUL, CR or LF), so no text is under-reported.
bool QuickParamCheck(const QString& text, QChar macroChar)
{
    if (text.size() < 2)
        return true;
    enum { qNormal, qLiteral, qBlockComment, qLineComment } state = qNormal;
    QChar quote;
    QChar prev(0);
    for (QChar c : text) {
        switch (state) {
        case qNormal:
            if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
                state = qLiteral;
            } else if (prev == QLatin1Char('/') && c == QLatin1Char('*')) {
                state = qBlockComment;
                c = QChar(0);  // "/*/" does not close the comment it opens
            } else if (prev == QLatin1Char('-') && c == QLatin1Char('-')) {
                state = qLineComment;
            } else if (c == QLatin1Char(':') || c == QLatin1Char('?') || c == macroChar) {
                return false;
            }
            break;
        case qLiteral:
            if (c == quote)
                state = qNormal;
            break;
        case qBlockComment:
            if (prev == QLatin1Char('*') && c == QLatin1Char('/')) {
                state = qNormal;
                c = QChar(0);  // "*/*" does not open another comment with the slash that closed one
            }
            break;
        case qLineComment:
            if (isLineCommentEnd(c))
                state = qNormal;
            break;
        }
        prev = c;
    }
    return true;
}

QString SQLParseErrorText(TSQLParseError error)
{
    switch (error) {
    case speEOFInComment: return QStringLiteral("EOF in comment detected");
    case speEOFInString: return QStringLiteral("EOF in string detected");
    case speNameExpected: return QStringLiteral("Parameter name expected");
    case speNone: break;
    }
    return {};
}

namespace {

// The full scan's state machine. c is the current character, n the next one (NUL at the end).
//
//   state           | input                                   | action / next state
//   ----------------+-----------------------------------------+------------------------------------
//   ssNormal        | '"' or '\''                             | remember the quote; ssLiteral
//   ssNormal        | "--"                                    | ssLineComment
//   ssNormal        | "/*"                                    | ssBlockComment
//   ssNormal        | ':' or '?', markers allowed, not DDL    | ssParamName
//   ssNormal        | macro character (any kind, DDL too)     | ssMacroText
//   ssNormal        | word "AS" in EXECUTE BLOCK              | markers no longer allowed
//   ssNormal        | anything else                           | copy; WHERE tracking
//   ssLiteral       | the quote doubled                       | stays in the literal
//   ssLiteral       | the quote                               | ssNormal
//   ssLiteral       | end of text                             | error "EOF in string detected"
//   ssBlockComment  | "*/"                                    | ssNormal
//   ssBlockComment  | end of text                             | error "EOF in comment detected"
//   ssLineComment   | NUL, LF, CR                             | ssNormal
//   ssParamName     | '"' after the marker                    | name up to the next '"'; ssNormal
//   ssParamName     | name character after the marker         | longest run of name characters; ssNormal
//   ssParamName     | anything else                           | error "Parameter name expected"
//   ssMacroText     | '"' after the marker                    | name up to the next '"'; ssNormal
//   ssMacroText     | macro character doubled                 | text up to the next macro character,
//                   |                                         | which is consumed; ssNormal
//   ssMacroText     | anything else                           | text up to LF, CR or space; ssNormal
//
// WHERE tracking (ssNormal only, not in EXECUTE PROCEDURE or EXECUTE BLOCK): the word WHERE
// enters the clause; inside it "(" and ")" count depth, and the clause ends when the depth falls
// below 0 or at one of the words FOR, GROUP, HAVING, ORDER, PLAN, START, UNION.
enum TScanState { ssNormal, ssLiteral, ssBlockComment, ssLineComment, ssParamName, ssMacroText };

class TSQLScanner {
public:
    TSQLScanner(const QString& text, const TSQLScanOptions& options)
        : t(text), len(static_cast<int>(text.size())), opt(options),
          trackWhere(options.kind != skExecuteProc && options.kind != skExecuteBlock)
    {
        if (opt.forServer)
            result.serverText = text;
    }

    TSQLScanResult run()
    {
        while (i < len && result.error == speNone) {
            switch (state) {
            case ssNormal: stepNormal(); break;
            case ssLiteral: stepLiteral(); break;
            case ssBlockComment: stepBlockComment(); break;
            case ssLineComment: stepLineComment(); break;
            case ssParamName: stepParamName(); break;
            case ssMacroText: stepMacroText(); break;
            }
        }
        if (result.error == speNone && state == ssLiteral)
            result.error = speEOFInString;
        if (result.error == speNone && state == ssBlockComment)
            result.error = speEOFInComment;
        return std::move(result);
    }

private:
    QChar at(int k) const { return charAt(t, k); }

    bool trackWhereClause()
    {
        if (!inWhere) {
            if (!IsWordAt("WHERE", t, i + 1))
                return false;
            inWhere = true;
            depth = 0;
            i += 5;
            return true;
        }
        const QChar c = at(i);
        if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (--depth < 0)
                inWhere = false;
        } else {
            static const char* const ends[] = {"FOR", "GROUP", "HAVING", "ORDER", "PLAN", "START", "UNION"};
            for (const char* w : ends)
                if (IsWordAt(w, t, i + 1)) {
                    inWhere = false;
                    break;
                }
        }
        return false;
    }

    // "AS" as a word ends the parameter part of an EXECUTE BLOCK; after it, colon references are
    // PSQL variables. The word must stand on its own, so names ending in "as" do not count.
    bool isExecuteBlockAs() const
    {
        return opt.kind == skExecuteBlock && isAsciiLetter(at(i), 'A') && isAsciiLetter(at(i + 1), 'S')
               && isWordEndBoundary(at(i + 2)) && (i == 0 || isWordStartBoundary(at(i - 1)));
    }

    void stepNormal()
    {
        if (trackWhere && trackWhereClause())
            return;
        const QChar c = at(i);
        const QChar n = at(i + 1);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            state = ssLiteral;
            ++i;
        } else if (c == QLatin1Char('-') && n == QLatin1Char('-')) {
            state = ssLineComment;
            i += 2;
        } else if (c == QLatin1Char('/') && n == QLatin1Char('*')) {
            state = ssBlockComment;
            i += 2;
        } else if ((c == QLatin1Char(':') || c == QLatin1Char('?')) && opt.canParamsCheck && markersAllowed) {
            state = ssParamName;
        } else if (c == opt.macroChar) {
            state = ssMacroText;
        } else if (isExecuteBlockAs()) {
            markersAllowed = false;
            i += 2;
        } else {
            ++i;
        }
    }

    void stepLiteral()
    {
        if (at(i) == quote) {
            if (at(i + 1) == quote) {
                i += 2;
                return;
            }
            state = ssNormal;
        }
        ++i;
    }

    void stepBlockComment()
    {
        if (at(i) == QLatin1Char('*') && at(i + 1) == QLatin1Char('/')) {
            state = ssNormal;
            i += 2;
            return;
        }
        ++i;
    }

    void stepLineComment()
    {
        if (isLineCommentEnd(at(i)))
            state = ssNormal;
        else
            ++i;
    }

    // A name in double quotes after the marker at i; false when the closing quote is missing.
    bool readQuotedName(TSQLReference& ref)
    {
        const int close = static_cast<int>(t.indexOf(QLatin1Char('"'), i + 2));
        if (close < 0)
            return false;
        ref.name = t.mid(i + 2, close - i - 2);
        ref.quoted = true;
        ref.endPos = close;
        return true;
    }

    // A quoted name, or the scan's end with an unclosed quote as its error.
    bool takeQuotedName(TSQLReference& ref)
    {
        if (readQuotedName(ref))
            return true;
        result.error = speEOFInString;
        return false;
    }

    void stepParamName()
    {
        TSQLReference ref;
        ref.beginPos = i;
        const QChar n = at(i + 1);
        if (n == QLatin1Char('"')) {
            if (!takeQuotedName(ref))
                return;
        } else if (isNameChar(n)) {
            int j = i + 1;
            while (isNameChar(at(j)))
                ++j;
            ref.name = t.mid(i + 1, j - i - 1);
            ref.endPos = j - 1;
        } else {
            result.error = speNameExpected;
            return;
        }
        record(std::move(ref));
    }

    void stepMacroText()
    {
        TSQLReference ref;
        ref.beginPos = i;
        ref.isMacro = true;
        const QChar n = at(i + 1);
        if (n == QLatin1Char('"')) {
            if (!takeQuotedName(ref))
                return;
        } else if (n == opt.macroChar) {
            int close = static_cast<int>(t.indexOf(opt.macroChar, i + 2));
            if (close < 0)
                close = len;
            ref.name = t.mid(i + 2, close - i - 2);
            ref.endPos = qMin(close, len - 1);
        } else {
            int j = i + 1;
            while (j < len && !isMacroTextEnd(at(j)))
                ++j;
            ref.name = t.mid(i + 1, j - i - 1);
            ref.endPos = j - 1;
        }
        result.hasMacros = true;
        record(std::move(ref));
    }

    // After the reference: blanks, then the end of the text or any character except an
    // operator that binds the value into an expression ("*", "+", "||", "-", "/").
    bool canForceIsNullAfter(int pos) const
    {
        while (pos < len && (at(pos) == QLatin1Char('\t') || at(pos) == QLatin1Char('\n')
                             || at(pos) == QLatin1Char('\r') || at(pos) == QLatin1Char(' ')))
            ++pos;
        if (pos >= len)
            return true;
        const QChar c = at(pos);
        if (c == QLatin1Char('*') || c == QLatin1Char('+') || c == QLatin1Char('|'))
            return false;
        if (c == QLatin1Char('-'))
            return at(pos + 1) == QLatin1Char('-');
        if (c == QLatin1Char('/'))
            return at(pos + 1) == QLatin1Char('*');
        return true;
    }

    void record(TSQLReference&& ref)
    {
        ref.inWhereClause = inWhere;
        ref.canForceIsNull = inWhere && canForceIsNullAfter(ref.endPos + 1);
        if (opt.forServer) {
            result.serverText[ref.beginPos] = QLatin1Char('?');
            for (int k = ref.beginPos + 1; k <= ref.endPos; ++k)
                result.serverText[k] = QLatin1Char(' ');
        }
        i = ref.endPos + 1;
        state = ssNormal;
        result.references.push_back(std::move(ref));
    }

    const QString& t;
    const int len;
    const TSQLScanOptions& opt;
    const bool trackWhere;
    TSQLScanResult result;
    TScanState state = ssNormal;
    int i = 0;
    QChar quote;
    bool markersAllowed = true;
    bool inWhere = false;
    int depth = 0;
};

}  // namespace

TSQLScanResult ScanSQLText(const QString& text, const TSQLScanOptions& options)
{
    return TSQLScanner(text, options).run();
}

TMacroParts SplitMacroText(const QString& macroText, QChar macroChar)
{
    QString text = macroText;
    while (text.startsWith(macroChar))
        text.remove(0, 1);
    TMacroParts parts;
    const qsizetype percent = text.indexOf(QLatin1Char('%'));
    parts.name = (percent < 0 ? text : text.left(percent)).left(255);
    if (percent >= 0)
        parts.defaultValue = text.mid(percent + 1);
    if (parts.defaultValue.startsWith(QLatin1Char('#'))) {
        parts.defaultQuoted = true;
        parts.defaultValue.remove(0, 1);
    }
    return parts;
}

namespace {

struct TNullRewrite {
    int from = -1;  // 0-based start of the replaced operator; -1: no rewrite
    const char* replacement = nullptr;
};

// Walks left from the parameter over word-end boundary characters to its comparison operator.
// An opening parenthesis on the way ("X = (:P)") leaves the text alone, as the replacement would
// unbalance the parentheses.
TNullRewrite findNullRewrite(const QString& text, int paramBegin)
{
    int p = paramBegin - 1;
    while (p >= 0 && isWordEndBoundary(text[p])) {
        if (text[p] == QLatin1Char('('))
            return {};
        --p;
    }
    if (p < 0)
        return {};
    const QChar op = text[p];
    const QChar before = charAt(text, p - 1);
    if (op == QLatin1Char('=')) {
        if (before == QLatin1Char('!') || before == QLatin1Char('^') || before == QLatin1Char('~'))
            return {p - 1, " IS NOT NULL "};
        if (before == QLatin1Char('<') || before == QLatin1Char('>'))
            return {};
        return {p, " IS NULL "};
    }
    if (op == QLatin1Char('>') && before == QLatin1Char('<'))
        return {p - 1, " IS NOT NULL "};
    return {};
}

}  // namespace

TReadySQLResult ReadySQLText(const QString& text, const std::vector<TReadyReference>& refs, bool forceIsNull)
{
    TReadySQLResult result{text, std::vector<bool>(refs.size(), false)};
    qsizetype shift = 0;
    for (size_t k = 0; k < refs.size(); ++k) {
        const TReadyReference& r = refs[k];
        int from = r.beginPos;
        QString replacement;
        if (r.isMacro) {
            replacement = r.macroValue;
            if (r.defaultQuoted && !replacement.startsWith(QLatin1Char('\'')))
                replacement = QLatin1Char('\'') + replacement + QLatin1Char('\'');
        } else if (forceIsNull && r.isNull && r.inWhereClause && r.canForceIsNull) {
            const TNullRewrite rewrite = findNullRewrite(text, r.beginPos);
            if (rewrite.from < 0)
                continue;
            from = rewrite.from;
            replacement = QLatin1String(rewrite.replacement);
        } else {
            continue;
        }
        const qsizetype replacedLength = r.endPos - from + 1;
        result.text.replace(from + shift, replacedLength, replacement);
        shift += replacement.size() - replacedLength;
        result.rewritten[k] = true;
    }
    return result;
}
